#include "qt/ErrorReport.h"

#include <QMessageBox>

namespace kestivo {

void MessageBoxReporter::report(QWidget* parent, const QString& title, const QString& message)
{
    QMessageBox::critical(parent, title, message);
}

} // namespace kestivo
