#pragma once

// Every text the user sees, in one place. Simplified Chinese that GB2312 can
// encode, kept as UTF-16 literals so that they display the same whatever the
// system locale is: a front-end takes them as they are (UTF-16 is what both
// Qt and Win32 hold), or as UTF-8 through utf8().

#include <string>
#include <string_view>

namespace kestivo::texts {

// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
[[nodiscard]] std::string utf8(std::u16string_view text);

inline constexpr char16_t kCaption[] = u"VB 图形程序设计 QuarnholtTavisko 2007.1.";

inline constexpr char16_t kCmdHwbk[] = u"花纹边框";
inline constexpr char16_t kCmdHwty[] = u"花纹椭圆";
inline constexpr char16_t kCmdSgxc[] = u"四个小窗";
inline constexpr char16_t kCmdCls[] = u"清除";
inline constexpr char16_t kCmdExit[] = u"退出";

inline constexpr char16_t kLabel4[] = u"Visual Basic";
inline constexpr char16_t kLabel1[] = u"图形程序设计";
inline constexpr char16_t kLabel2[] = u"程序设计：Tavisko";
inline constexpr char16_t kLabel3[] = u"2007.1.";

// For screen readers: the picture's name and what it shows (%1 lists the
// patterns drawn, by their buttons' captions), and what each button does.
inline constexpr char16_t kPictureName[] = u"图形";
inline constexpr char16_t kPictureEmpty[] = u"空白";
inline constexpr char16_t kPictureShows[] = u"已画：%1";
inline constexpr char16_t kCmdHwbkHelp[] = u"画出花纹边框：淡黄色方框，四边排列小玫瑰线";
inline constexpr char16_t kCmdHwtyHelp[] = u"画出花纹椭圆：二十四朵五瓣玫瑰线沿椭圆弧排列";
inline constexpr char16_t kCmdSgxcHelp[] = u"画出四个小窗：四个带框的彩色方窗，各有一朵大玫瑰线";
inline constexpr char16_t kCmdClsHelp[] = u"清除所画的全部图形";
inline constexpr char16_t kCmdExitHelp[] = u"立即结束程序";

// Run-time error report: the message for a failed drawing operation (%1 is
// the object and operation, e.g. "Form1.PSet") or for a floating-point fault
// (%1 lists the faults). The report's title is the program's name.
inline constexpr char16_t kDrawingFailed[] = u"运行时错误：%1 绘图操作失败。\n程序将结束。";
inline constexpr char16_t kFloatingPoint[] = u"运行时错误：浮点运算错误（%1）。\n程序将结束。";
inline constexpr char16_t kOtherError[] = u"运行时错误：%1\n程序将结束。";
inline constexpr char16_t kInvalidOperation[] = u"无效运算";
inline constexpr char16_t kDivisionByZero[] = u"除数为零";
inline constexpr char16_t kOverflow[] = u"溢出";
inline constexpr char16_t kListSeparator[] = u"、";

// Every text above, for checks that apply to all of them.
inline constexpr const char16_t* kAll[] = {
    kCaption,       kCmdHwbk,          kCmdHwty,        kCmdSgxc,  kCmdCls,
    kCmdExit,       kLabel4,           kLabel1,         kLabel2,   kLabel3,
    kDrawingFailed, kFloatingPoint,    kOtherError,     kInvalidOperation,
    kDivisionByZero, kOverflow,        kListSeparator,  kPictureName,
    kPictureEmpty,  kPictureShows,     kCmdHwbkHelp,    kCmdHwtyHelp,
    kCmdSgxcHelp,   kCmdClsHelp,       kCmdExitHelp,
};

} // namespace kestivo::texts
