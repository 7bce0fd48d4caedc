#pragma once

#include "manager/composition/SlotKinds.h"

// The rows of the kinds whose sources draw their own picture at the slot's size, images and
// texts, for the table of kinds (SlotKinds.cpp holds the rows, in kind order, and gives each
// its number).
namespace tvq {

// An image file: chosen in the system's file dialog, recorded by its path, waited for while the
// file is not there.
SlotKindRow ImageKindRow(int kind);
// A text: typed in the text dialog (the slot menu edits it again), recorded with its style.
SlotKindRow TextKindRow(int kind);

}  // namespace tvq
