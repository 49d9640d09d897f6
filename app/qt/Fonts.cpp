#include "qt/Fonts.h"

#include "form/Layout.h"

#include <QStringList>

namespace kestivo {

void installFontSubstitutes()
{
    const QStringList kai{
        QStringLiteral("AR PL UKai CN"),    QStringLiteral("AR PL UKai TW"),
        QStringLiteral("AR PL UKai HK"),    QStringLiteral("AR PL UKai TW MBE"),
        QStringLiteral("KaiTi"),            QStringLiteral("STKaiti"),
        QStringLiteral("TW-Kai"),           QStringLiteral("Noto Serif CJK SC"),
        QStringLiteral("Noto Sans CJK SC"), QStringLiteral("AR PL UMing CN"),
        QStringLiteral("WenQuanYi Zen Hei"), QStringLiteral("Droid Sans Fallback"),
    };
    const QString family = QString::fromUtf16(layout::kLabelFontFamily);
    for (const QString& alias : {family, QStringLiteral("楷体"), QStringLiteral("KaiTi_GB2312"),
                                 QStringLiteral("KaiTi")})
        QFont::insertSubstitutions(alias, kai);
}

QFont labelFont(double pointSize)
{
    QFont font(QString::fromUtf16(layout::kLabelFontFamily));
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Weight(layout::kLabelFontWeight));
    font.setStyleHint(QFont::Serif);
    return font;
}

QFont windowFont()
{
    QFont font;
    font.setFamilies({
        QStringLiteral("AR PL UMing CN"),    QStringLiteral("AR PL UMing TW"),
        QStringLiteral("AR PL UMing HK"),    QStringLiteral("AR PL UMing TW MBE"),
        QStringLiteral("SimSun"),            QStringLiteral("NSimSun"),
        QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Source Han Serif SC"),
    });
    font.setPointSize(layout::kButtonFontPoints);
    return font;
}

} // namespace kestivo
