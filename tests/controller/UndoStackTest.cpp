// The undo stack: what each push keeps, and when Command-Z may take the newest rewrite back.

#include "controller/UndoStack.h"

#include <gtest/gtest.h>

namespace kx::test {
namespace {

LastCorrection entry(const std::string& inserted, double at = 0)
{
    return {.insertedText = inserted, .originalText = "", .previousLayout = {}, .strategy = {}, .at = at};
}

// Trimmed pushes keep the newest ten; untrimmed ones (the repairs) keep everything.
TEST(UndoStack, PushKeepsTheNewestTenOnlyWhenTrimming)
{
    struct Row {
        const char* what;
        int pushes;
        bool trim;
        std::size_t kept;
        const char* oldest;
    };
    const Row rows[] = {
        {"ten trimmed", 10, true, 10, "0"},
        {"eleven trimmed", 11, true, 10, "1"},
        {"eleven untrimmed", 11, false, 11, "0"},
    };
    for (const Row& row : rows) {
        UndoStack stack;
        for (int i = 0; i < row.pushes; ++i)
            stack.push(entry(std::to_string(i)), row.trim, i);
        EXPECT_EQ(stack.size(), row.kept) << row.what;
        EXPECT_EQ(stack.entries().front().insertedText, row.oldest) << row.what;
        EXPECT_EQ(stack.top().insertedText, std::to_string(row.pushes - 1)) << row.what;
    }
}

// Command-Z applies as the very next key after the newest rewrite, for less than 12 s.
TEST(UndoStack, CommandZGate)
{
    struct Row {
        const char* what;
        int keyGen;
        double now;
        bool applies;
    };
    const Row rows[] = {
        {"next key, at once", 5, 100.0, true},
        {"next key, just under 12 s", 5, 111.99, true},
        {"next key, at 12 s", 5, 112.0, false},
        {"a key came between", 6, 100.5, false},
    };
    UndoStack stack;
    EXPECT_FALSE(stack.cmdZApplies(-1, 0)) << "nothing to undo";
    stack.push(entry("x", 100.0), true, 5);
    for (const Row& row : rows)
        EXPECT_EQ(stack.cmdZApplies(row.keyGen, row.now), row.applies) << row.what;

    stack.pop();
    EXPECT_FALSE(stack.cmdZApplies(5, 100.0)) << "emptied";
}

}  // namespace
}  // namespace kx::test
