#include "manager/capture/CrossbarRouter.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "manager/capture/DirectShow.h"
#include "tests/common/ComStub.h"
#include "tests/capture/ScriptedMessageBox.h"

namespace {

using tvqtest::Answers;
using tvqtest::AskedBox;
using tvqtest::ExpectErrorBox;
using tvqtest::ScriptedMessageBox;

constexpr UINT kQuestion = MB_YESNOCANCEL | MB_ICONQUESTION;

class FakeCrossbar : public tvqtest::ComStub<IAMCrossbar> {
 public:
  struct Pin {
    long related;
    long type;
  };
  std::vector<Pin> outputs;
  std::vector<Pin> inputs;
  bool pinInfoFails = false;
  // Results of the first and second CanRoute and Route calls.
  HRESULT canRouteResults[2] = {S_OK, S_OK};
  HRESULT routeResults[2] = {S_OK, S_OK};
  std::vector<std::pair<long, long>> canRouteCalls;
  std::vector<std::pair<long, long>> routeCalls;

  HRESULT STDMETHODCALLTYPE get_PinCounts(LONG* outputCount, LONG* inputCount) override {
    *outputCount = static_cast<LONG>(outputs.size());
    *inputCount = static_cast<LONG>(inputs.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CanRoute(LONG output, LONG input) override {
    canRouteCalls.emplace_back(output, input);
    return canRouteResults[(canRouteCalls.size() - 1) % 2];
  }
  HRESULT STDMETHODCALLTYPE Route(LONG output, LONG input) override {
    routeCalls.emplace_back(output, input);
    return routeResults[(routeCalls.size() - 1) % 2];
  }
  HRESULT STDMETHODCALLTYPE get_IsRoutedTo(LONG, LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_CrossbarPinInfo(BOOL isInput, LONG index, LONG* related,
                                                LONG* type) override {
    const std::vector<Pin>& pins = isInput ? inputs : outputs;
    if (pinInfoFails || index < 0 || index >= static_cast<LONG>(pins.size())) return E_INVALIDARG;
    *related = pins[index].related;
    *type = pins[index].type;
    return S_OK;
  }
};

// Two outputs (audio first) and four inputs, as a TV card's crossbar might report them.
// (Filled in place: a stub stands for one COM object and is never copied.)
void MakeTvCard(FakeCrossbar& crossbar) {
  crossbar.outputs = {{1, PhysConn_Audio_AudioDecoder}, {0, PhysConn_Video_VideoDecoder}};
  crossbar.inputs = {{2, PhysConn_Video_Tuner},
                     {3, PhysConn_Video_Composite},
                     {0, PhysConn_Audio_Tuner},
                     {1, PhysConn_Audio_Line}};
}

TEST(Crossbar, AsksEachPinAndRoutesTheChosenAndTheRelatedPairs) {
  FakeCrossbar crossbar;
  MakeTvCard(crossbar);
  ScriptedMessageBox boxes(Answers({IDNO, IDYES, IDNO, IDYES}));
  tvq::CameraPrompt prompt;
  prompt.SetMessageBox(boxes.Fn());
  tvq::CrossbarRouter router;
  ASSERT_TRUE(router.Route(crossbar, prompt, L"TV Card"));

  const std::vector<AskedBox>& asked = boxes.Asked();
  ASSERT_EQ(4u, asked.size());
  EXPECT_EQ(L"出力ピン（1/2）: Audio Decoder を選択しますか？\n関連ピン: 1", asked[0].text);
  EXPECT_EQ(L"出力ピン（2/2）: Video Decoder を選択しますか？\n関連ピン: 0", asked[1].text);
  EXPECT_EQ(L"入力ピン（1/4）: Video Tuner を選択しますか？\nRelated: 2", asked[2].text);
  EXPECT_EQ(L"入力ピン（2/4）: Video Composite を選択しますか？\nRelated: 3", asked[3].text);
  for (int i : {0, 1}) {
    EXPECT_EQ(L"出力ピンの選択（TV Card）", asked[i].caption);
    EXPECT_EQ(kQuestion, asked[i].type);
  }
  for (int i : {2, 3}) {
    EXPECT_EQ(L"入力ピンの選択（TV Card）", asked[i].caption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), asked[i].type);
  }
  EXPECT_EQ(2, router.OutputPinCount());
  EXPECT_EQ(1, router.ChosenOutputPin());
  EXPECT_EQ(0, router.RelatedOutputPin());
  EXPECT_EQ(4, router.InputPinCount());
  EXPECT_EQ(1, router.ChosenInputPin());
  EXPECT_EQ(3, router.RelatedInputPin());
  const std::vector<std::pair<long, long>> pairs = {{1, 1}, {0, 3}};
  EXPECT_EQ(pairs, crossbar.canRouteCalls);
  EXPECT_EQ(pairs, crossbar.routeCalls);
  EXPECT_EQ(0, crossbar.References());
}

TEST(Crossbar, CancelOrNoThroughoutStopsWithoutRoutingOrMessage) {
  struct Case {
    const char* name;
    std::vector<int> answers;
  };
  for (const Case& c : {Case{"cancel at the first output", {IDCANCEL}},
                        Case{"cancel at the second output", {IDNO, IDCANCEL}},
                        Case{"no to every output", {IDNO, IDNO}},
                        Case{"no to every input", {IDYES, IDNO, IDNO, IDNO, IDNO}}}) {
    SCOPED_TRACE(c.name);
    FakeCrossbar crossbar;
    MakeTvCard(crossbar);
    ScriptedMessageBox boxes(Answers(c.answers));
    tvq::CameraPrompt prompt;
    prompt.SetMessageBox(boxes.Fn());
    tvq::CrossbarRouter router;
    EXPECT_FALSE(router.Route(crossbar, prompt, L""));
    EXPECT_EQ(c.answers.size(), boxes.Asked().size());
    EXPECT_TRUE(crossbar.canRouteCalls.empty());
    EXPECT_TRUE(crossbar.routeCalls.empty());
    EXPECT_EQ(0, crossbar.References());
  }

  FakeCrossbar empty;
  ScriptedMessageBox boxes(Answers({}));
  tvq::CameraPrompt prompt;
  prompt.SetMessageBox(boxes.Fn());
  tvq::CrossbarRouter router;
  EXPECT_FALSE(router.Route(empty, prompt, L""));
  EXPECT_TRUE(boxes.Asked().empty());
  EXPECT_EQ(0, router.OutputPinCount());
}

TEST(Crossbar, ARefusedRouteShowsTheErrorBoxWithItsCode) {
  struct Case {
    int failingCall;  // 0, 1: CanRoute; 2, 3: Route
    HRESULT result;
    const wchar_t* shown;
    size_t routesTried;
  };
  for (const Case& c : {Case{0, S_FALSE, L"1", 0}, Case{1, E_INVALIDARG, L"80070057", 0},
                        Case{2, VFW_E_NOT_CONNECTED, L"80040209", 1}, Case{3, E_FAIL, L"80004005", 2}}) {
    SCOPED_TRACE(c.failingCall);
    FakeCrossbar crossbar;
    MakeTvCard(crossbar);
    (c.failingCall < 2 ? crossbar.canRouteResults : crossbar.routeResults)[c.failingCall % 2] = c.result;
    ScriptedMessageBox boxes(Answers({IDYES, IDYES, IDOK}));
    tvq::CameraPrompt prompt;
    prompt.SetMessageBox(boxes.Fn());
    tvq::CrossbarRouter router;
    EXPECT_FALSE(router.Route(crossbar, prompt, L""));
    ASSERT_EQ(3u, boxes.Asked().size());
    ExpectErrorBox(boxes.Asked()[2], c.shown);
    EXPECT_EQ(c.result, prompt.LastResult());
    EXPECT_EQ(c.routesTried, crossbar.routeCalls.size());
  }
}

TEST(Crossbar, UnreadablePinsShowUnknownTypeAndRelatedMinusOne) {
  FakeCrossbar crossbar;
  MakeTvCard(crossbar);
  crossbar.pinInfoFails = true;
  ScriptedMessageBox boxes(Answers({IDCANCEL}));
  tvq::CameraPrompt prompt;
  prompt.SetMessageBox(boxes.Fn());
  tvq::CrossbarRouter router;
  EXPECT_FALSE(router.Route(crossbar, prompt, L""));
  ASSERT_EQ(1u, boxes.Asked().size());
  EXPECT_EQ(L"出力ピン（1/2）: Unknown Type を選択しますか？\n関連ピン: -1", boxes.Asked()[0].text);
}

// A camera opened from a list or brought back at start-up routes without a single question: the
// recorded pins, or the first video pins, and the related pair only where the crossbar allows.
TEST(Crossbar, QuietRoutingTakesTheGivenOrFirstVideoPinsAndNeverAsks) {
  using Pairs = std::vector<std::pair<long, long>>;
  struct Case {
    const char* name;
    long output, input;
    HRESULT canRouteResults[2];
    bool routed;
    Pairs routes;
  };
  const Case cases[] = {
      {"first video pins", -1, -1, {S_OK, S_OK}, true, {{1, 0}, {0, 2}}},
      {"recorded pins", 1, 1, {S_OK, S_OK}, true, {{1, 1}, {0, 3}}},
      {"the sound's route refused", 1, 1, {S_OK, S_FALSE}, true, {{1, 1}}},
      {"the picture's route refused", -1, -1, {S_FALSE, S_OK}, false, {}},
      {"an output pin past the end", 2, 0, {S_OK, S_OK}, false, {}},
      {"an input pin past the end", 1, 4, {S_OK, S_OK}, false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeCrossbar crossbar;
    MakeTvCard(crossbar);
    crossbar.canRouteResults[0] = c.canRouteResults[0];
    crossbar.canRouteResults[1] = c.canRouteResults[1];
    ScriptedMessageBox boxes(Answers({}));
    tvq::CameraPrompt prompt;
    prompt.SetMessageBox(boxes.Fn());
    prompt.SetQuiet(true);
    tvq::CrossbarRouter router;
    EXPECT_EQ(c.routed, router.RouteQuietly(crossbar, c.output, c.input, prompt));
    EXPECT_EQ(c.routes, crossbar.routeCalls);
    EXPECT_TRUE(boxes.Asked().empty());
  }

  FakeCrossbar audioOnly;
  audioOnly.outputs = {{0, PhysConn_Audio_AudioDecoder}};
  audioOnly.inputs = {{0, PhysConn_Audio_Line}};
  tvq::CameraPrompt prompt;
  tvq::CrossbarRouter router;
  EXPECT_FALSE(router.RouteQuietly(audioOnly, -1, -1, prompt));
  EXPECT_TRUE(audioOnly.canRouteCalls.empty());
}

}  // namespace
