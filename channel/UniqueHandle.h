#pragma once

// The owners moved to the shared lifetime header; this name stays for the files not yet moved.
#include "common/Lifetime.h"
