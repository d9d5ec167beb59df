// Reading test plans: the built-in plan reads back as itself, and a plan with
// a mistake is refused with the line and the field to mend.

#include "functest/TestPlan.h"
#include "functest/Json.h"

#include <gtest/gtest.h>

namespace {

TEST(TestPlan, TheBuiltInPlanReadsBackAsItself) {
    const TestPlan plan = DefaultTestPlan();
    const PlanRead read = ReadTestPlan(TestPlanJson(plan));
    ASSERT_TRUE(read.plan.has_value()) << read.error.toStdString();
    EXPECT_EQ(TestPlanJson(*read.plan), TestPlanJson(plan));
    ASSERT_EQ(read.plan->steps.size(), 5U);
    EXPECT_FALSE(read.plan->steps.back().enabled) << "calibration needs a reference source";
}

TEST(TestPlan, AMistakeIsRefusedWithItsLineAndField) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"{\n \"steps\": [\n  {\"name\": \"relais\"}\n ]\n}",
         "line 3: steps[0].name: unknown step \"relais\""},
        {"{\"steps\": [{\"name\": \"communication\",\n \"reads\": \"twenty\"}]}",
         "line 2: steps[0].reads: must be a number, not a text"},
        {"{\"steps\": [{\"name\": \"output-linearity\",\n \"from\": 2000,\n \"to\": 100}]}",
         "line 2: steps[0].from: from (2000) is above to (100)"},
        {"{\n\"steps\": []}", "line 2: steps: the list of steps is empty"},
        {"{\"baud\": 9601, \"steps\": [{\"name\": \"identity\"}]}",
         "line 1: baud: 9601 is not a rate"},
        {"{\"steps\": [{\"name\": \"relay\", \"timeout\": 5}]}",
         "line 1: steps[0].timeout: unknown field"},
        {"{\"steps\": [{\"name\": \"calibration\", \"commands\": [\"input-zero\",\n \"zero\"]}]}",
         "line 2: steps[0].commands[1]: unknown command"},
        {"{\"steps\": [{\"name\": \"identity\", \"enabled\": 1}]}",
         "line 1: steps[0].enabled: must be true or false"},
        {"{\"address\": 1.5, \"steps\": [{\"name\": \"identity\"}]}",
         "line 1: address: must be a whole number"},
        {"{\"steps\": [{\"name\": \"identity\"}]", "line 1: a comma or } was expected"},
        {"{\"steps\": [{\"name\": \"identity\"}]}\n,", "line 2: unexpected text after the end"},
        {"{\"plan\": \"a\\q\", \"steps\": []}", "line 1: an unknown escape in a string"},
        {"[1, 2]", "line 1: (plan): the plan must be an object"},
    };
    for (const Case& test : cases) {
        const PlanRead read = ReadTestPlan(test.text);
        EXPECT_FALSE(read.plan.has_value()) << test.text;
        EXPECT_TRUE(read.error.startsWith(QString::fromUtf8(test.error)))
            << test.text << "\n  gave: " << read.error.toStdString();
    }
}

TEST(Json, ReadsWhatItWritesAndStopsAtItsBounds) {
    JsonValue object = JsonValue::Object();
    object.add("text", JsonValue::Text(QStringLiteral("\"quoted\" \\ 中文 \n\x01")));
    object.add("number", JsonValue::Number(-0.125));
    object.add("list", JsonValue::Array().append(JsonValue::Flag(true)).append(JsonValue::Null()));
    const JsonParse read = ParseJson(WriteJson(object));
    ASSERT_TRUE(read.value.has_value()) << read.error.toStdString();
    EXPECT_EQ(WriteJson(*read.value), WriteJson(object));
    EXPECT_EQ(read.value->member("text")->string, object.member("text")->string);

    EXPECT_EQ(ParseJson(QByteArray(JsonMaximumDepth + 2, '[')).error, "nested too deeply");
    EXPECT_FALSE(ParseJson(QByteArray(JsonMaximumSize + 1, ' ')).value.has_value());
    EXPECT_EQ(ParseJson("\"\\ud800\"").error, "a lone surrogate in \\u");
    EXPECT_EQ(ParseJson("\"\\ud83d\\ude00\"").value->string, QString::fromUtf8("😀"));
}

} // namespace
