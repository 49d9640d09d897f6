#include "qt/ErrorReport.h"

#include <QMessageBox>

namespace kestivo {

// open(), not exec(): the program's one event loop goes on meanwhile.
void MessageBoxReporter::report(QWidget* parent, const QString& title, const QString& message,
                                std::function<void()> dismissed)
{
    auto* box = new QMessageBox(QMessageBox::Critical, title, message, QMessageBox::Ok, parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QDialog::finished, box, [dismissed = std::move(dismissed)] { dismissed(); });
    box->open();
}

} // namespace kestivo
