#include "Form1.h"

#include "Canvas.h"
#include "Checked.h"
#include "Commands.h"
#include "ErrorReport.h"
#include "Fonts.h"
#include "Layout.h"
#include "Patterns.h"
#include "ScreenSurface.h"
#include "ShapeFrame.h"
#include "Texts.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <cstdio>
#include <vector>

namespace kestivo {

namespace {
// Qt's logical pixel is 1/96 inch; a screen's own scale arrives as the
// device pixel ratio. So one logical pixel is 15 twips.
constexpr double kLogicalDpi = 96.0;
} // namespace

Form1::Form1() : Form1(Options{}) {}

Form1::Form1(Options options) : options_(std::move(options)), layoutScale_(kLogicalDpi)
{
    if (!options_.clock) {
        ownClock_ = std::make_unique<SteadyClock>();
        options_.clock = ownClock_.get();
    }
    if (!options_.reporter) {
        ownReporter_ = std::make_unique<MessageBoxReporter>();
        options_.reporter = ownReporter_.get();
    }
    if (!options_.exit)
        options_.exit = [](int status) { QCoreApplication::exit(status); };

    setObjectName(QStringLiteral("Form1"));
    build();
    qApp->installEventFilter(this);
}

Form1::~Form1()
{
    qApp->removeEventFilter(this);
}

void Form1::build()
{
    setWindowTitle(texts::text(texts::kCaption));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(layout::kBackColour));
    setPalette(pal);
    setAutoFillBackground(true);

    const auto px = [this](int twips) { return layoutScale_.toPixels(twips); };
    const QSize client(px(layout::kClientWidth), px(layout::kClientHeight));
    const QSize whole(px(layout::kLayoutRight) + 1, px(layout::kLayoutBottom) + 1);
    resize(client);

    // The picture covers the window as it opens, which holds the whole layout.
    canvas_ = new Canvas(this, kLogicalDpi, client.expandedTo(whole));
    canvas_->setGeometry(rect());
    surface_ = std::make_unique<ScreenSurface>(*canvas_, *options_.clock, options_.pointsPerSecond);
    target_ = surface_.get();
    if (options_.decorate) {
        decorated_ = options_.decorate(*surface_);
        target_ = decorated_.get();
    }

    std::vector<std::pair<int, QWidget*>> tabOrder;
    for (const layout::Control& c : layout::kControls) {
        const QRect geometry(px(c.left), px(c.top), px(c.width), px(c.height));
        QWidget* widget = nullptr;
        switch (c.kind) {
        case layout::Kind::CommandButton: {
            auto* b = new QPushButton(texts::text(c.text), this);
            b->setAutoDefault(false);
            b->setFocusPolicy(Qt::StrongFocus);
            tabOrder.emplace_back(c.tabIndex, b);
            widget = b;
            break;
        }
        case layout::Kind::Label: {
            auto* l = new QLabel(texts::text(c.text), this);
            l->setTextFormat(Qt::PlainText);
            l->setWordWrap(false);
            l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            l->setFont(labelFont(c.pointSize));
            l->setAutoFillBackground(true);
            QPalette lp = l->palette();
            lp.setColor(QPalette::Window, QColor(layout::kBlack));
            lp.setColor(QPalette::WindowText, QColor(c.foreColour));
            l->setPalette(lp);
            l->setFocusPolicy(Qt::NoFocus);
            widget = l;
            break;
        }
        case layout::Kind::Shape:
            shape_ = new ShapeFrame(this, QColor(c.foreColour));
            widget = shape_;
            break;
        }
        widget->setObjectName(QString::fromLatin1(c.name));
        widget->setGeometry(geometry);
    }
    // The picture at the bottom, the frame over it, the controls on top.
    shape_->lower();
    canvas_->lower();

    std::sort(tabOrder.begin(), tabOrder.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tabOrder.size(); ++i)
        QWidget::setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);

    for (const Command& command : kCommands) {
        QPushButton* b = button(command.button);
        connect(b, &QPushButton::clicked, this, [this, handler = command.handler] {
            (this->*handler)();
        });
    }
    button("CmdHwbk")->setFocus(Qt::OtherFocusReason);
}

QPushButton* Form1::button(const char* name) const
{
    return findChild<QPushButton*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

QLabel* Form1::label(const char* name) const
{
    return findChild<QLabel*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
}

void Form1::CmdHwbk_Click()
{
    run(DrawHwbk);
}

void Form1::CmdHwty_Click()
{
    run(DrawHwty);
}

void Form1::CmdSgxc_Click()
{
    run(DrawSgxc);
}

void Form1::CmdCls_Click()
{
    run([](DrawingSurface& surface) { checked(surface.Cls(), "Cls"); });
}

void Form1::CmdExit_Click()
{
    end(0);
}

void Form1::run(void (*routine)(DrawingSurface&))
{
    if (busy_ || ended_)
        return;
    busy_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    surface_->beginRoutine();
    canvas_->beginRoutine();
    std::exception_ptr failure;
    try {
        routine(*target_);
        canvas_->endRoutine(routine);
    } catch (...) {
        failure = std::current_exception();
    }
    surface_->endRoutine();
    QApplication::restoreOverrideCursor();
    if (failure) {
        busy_ = false;
        fail(failure);
        return;
    }
    dropQueuedInput();
    busy_ = false;
}

// Input that queued up while the routine held the thread is discarded here;
// everything else (painting, a close request) is processed as usual.
void Form1::dropQueuedInput()
{
    dropping_ = true;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    dropping_ = false;
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (dropping_) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::fail(const std::exception_ptr& failure)
{
    QString message;
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        message = describeError(error);
    } catch (...) {
        message = describeError(std::runtime_error("?"));
    }
    std::fprintf(stderr, "Kestivo1: %s\n", message.toUtf8().constData());
    std::fflush(stderr);
    options_.reporter->report(this, texts::text(texts::kErrorTitle), message);
    end(1);
}

void Form1::end(int status)
{
    ended_ = true;
    options_.exit(status);
    hide();
}

// As on the original platform, Enter clicks the focused button as Space
// does. (QPushButton only answers Enter as a dialog's default button.)
void Form1::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (auto* b = qobject_cast<QPushButton*>(focusWidget())) {
            b->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void Form1::resizeEvent(QResizeEvent* event)
{
    canvas_->setGeometry(rect());
    QWidget::resizeEvent(event);
}

} // namespace kestivo
