// The words for run-time errors.

#include "patterns/RuntimeError.h"
#include "program/ErrorText.h"

#include <gtest/gtest.h>

#include <new>

using namespace kestivo;

TEST(ErrorText, FailuresAreReportedInChineseNamingTheWindow)
{
    EXPECT_EQ(describeError(FloatingPointError(FloatingPointError::Overflow |
                                               FloatingPointError::Invalid),
                            "Form1"),
              "运行时错误：浮点运算错误（无效运算、溢出）。\n程序将结束。");
    EXPECT_EQ(describeError(DrawingError("PSet"), "Form1"),
              "运行时错误：Form1.PSet 绘图操作失败。\n程序将结束。");
    EXPECT_EQ(describeError(std::bad_alloc(), "Form1"), "运行时错误：std::bad_alloc\n程序将结束。");
}
