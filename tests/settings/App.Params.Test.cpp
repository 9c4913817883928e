#include <gtest/gtest.h>
#include "platform/runtime/Files.h"
#include "settings/App.Params.h"

namespace {
class AppParams : public testing::Test {
protected:
  void TearDown() override { SetParamsOverride({}); }
};
}  // namespace

TEST_F(AppParams, SwitchesAndValues) {
  SetParamsOverride({L"C:\\Tarvel\\Tarvel.exe", L"  --FAST  ", L"--mode=Fast", L"--logfile", L"--a=b=c", L"--solo",
                     L"--on=0", L"--off=FALSE", L"--num=5", L"--yes=TRUE", L"--what=maybe", L"--real=0.0",
                     L"--count=42", L"--neg=-7"});
  struct Case { const wchar_t* name; bool contains; const wchar_t* value; } cases[] = {
      {L"--fast", true, L"--fast"},          // blanks around, upper case
      {L" --FAST ", true, L"--fast"},        // the asked name is trimmed and lower-cased too
      {L"--log", true, L"--logfile"},        // a prefix is enough; the whole argument is the value
      {L"--mode", true, L"fast"},            // the value is lower-cased
      {L"--a", true, L"b"},                  // between the first and the second "="
      {L"--solo", true, L"--solo"},          // no "=": the argument itself
      {L"--nob", false, L"--nob"},           // absent: the name itself
      {L"c:", true, L"c:\\tarvel\\tarvel.exe"},  // the program path takes part
      {L"", true, L"c:\\tarvel\\tarvel.exe"},    // an empty name matches the first argument
  };
  for (auto& c : cases) {
    EXPECT_EQ(TAppParams::Contains(c.name), c.contains) << c.name;
    EXPECT_EQ(TAppParams::Value(c.name), c.value) << c.name;
  }
  EXPECT_EQ(TAppParams::FindParam(L"--log"), L"--logfile");
  EXPECT_EQ(TAppParams::FindParam(L"--nob"), L"");

  struct BoolCase { const wchar_t* name; bool value; } bools[] = {
      {L"--on", false}, {L"--off", false}, {L"--num", true}, {L"--yes", true},
      {L"--what", true}, {L"--solo", true}, {L"--absent", true}, {L"--real", false}};
  for (auto& c : bools) EXPECT_EQ(TAppParams::AsBool(c.name), c.value) << c.name;

  EXPECT_EQ(TAppParams::AsInt(L"--count"), 42);
  EXPECT_EQ(TAppParams::AsInt(L"--n"), 5);  // the first argument that begins with it: --num=5
  EXPECT_EQ(TAppParams::AsInt(L"--neg"), -7);
  EXPECT_EQ(TAppParams::AsInt(L"--mode"), 0);
  EXPECT_EQ(TAppParams::AsInt(L"--absent"), 0);
}

TEST_F(AppParams, JoinedArguments) {
  SetParamsOverride({L"C:\\Tarvel.exe"});
  EXPECT_EQ(TAppParams::AsStr(), L"");
  EXPECT_FALSE(TAppParams::Contains(L"--log"));

  // Each argument followed by one blank, then trimmed: inner blanks of an argument stay,
  // and an argument with blanks gets no quotes.
  SetParamsOverride({L"C:\\Tarvel.exe", L"  --FAST  ", L"--url=http://a b", L"x"});
  EXPECT_EQ(TAppParams::AsStr(), L"--FAST   --url=http://a b x");
}
