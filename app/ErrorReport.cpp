#include "ErrorReport.h"

#include "RuntimeError.h"
#include "Texts.h"

#include <QMessageBox>
#include <QStringList>

namespace kestivo {

void MessageBoxReporter::report(QWidget* parent, const QString& title, const QString& message)
{
    QMessageBox::critical(parent, title, message);
}

QString describeError(const std::exception& error)
{
    using namespace texts;
    if (const auto* drawing = dynamic_cast<const DrawingError*>(&error))
        return text(kDrawingFailed).arg(QString::fromStdString(drawing->qualifiedName()));
    if (const auto* fp = dynamic_cast<const FloatingPointError*>(&error)) {
        QStringList faults;
        if (fp->flags() & FloatingPointError::Invalid)
            faults << text(kInvalidOperation);
        if (fp->flags() & FloatingPointError::DivideByZero)
            faults << text(kDivisionByZero);
        if (fp->flags() & FloatingPointError::Overflow)
            faults << text(kOverflow);
        return text(kFloatingPoint).arg(faults.join(text(kListSeparator)));
    }
    return text(kOtherError).arg(QString::fromUtf8(error.what()));
}

} // namespace kestivo
