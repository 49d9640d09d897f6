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
#include <QCloseEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <exception>
#include <cstdio>
#include <stdexcept>
#include <utility>
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
    // The buttons take the window's font; the labels have their own.
    setFont(windowFont());

    const auto px = [this](int twips) { return layoutScale_.toPixels(twips); };
    const QSize client(px(layout::kClientWidth), px(layout::kClientHeight));
    const QSize whole(px(layout::kLayoutRight) + 1, px(layout::kLayoutBottom) + 1);
    resize(client);

    // The picture covers the window as it opens, which holds the whole layout.
    canvas_ = new Canvas(this, kLogicalDpi, client.expandedTo(whole));
    canvas_->setGeometry(rect());
    canvas_->onFailure = [this](std::exception_ptr failure) { failLater(std::move(failure)); };
    surface_ = std::make_unique<ScreenSurface>(*canvas_, *options_.clock, options_.pointsPerSecond);
    surface_->betweenFrames = [this] { betweenFrames(); };
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
    // Like a click, a programmatic exit waits for no routine: it is refused.
    if (busy_)
        return;
    end(0);
}

// Holds the window busy for one routine: the busy cursor, and input gated,
// restored however the routine ends.
class Form1::Busy {
public:
    explicit Busy(Form1& form) : form_(form)
    {
        form_.busy_ = true;
        form_.gate_.routineStarted();
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    ~Busy()
    {
        QApplication::restoreOverrideCursor();
        form_.busy_ = false;
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    Form1& form_;
};

void Form1::run(void (*routine)(DrawingSurface&))
{
    if (busy_ || ended_)
        return;
    std::exception_ptr failure;
    {
        Busy busy(*this);
        try {
            surface_->beginRoutine();
            canvas_->beginRoutine();
            routine(*target_);
            canvas_->endRoutine(routine);
            gate_.routineEnded(InputGate::nowMs());
            surface_->endRoutine();
            dropQueuedInput();
        } catch (...) {
            failure = std::current_exception();
            try {
                surface_->endRoutine(); // show what was drawn before the failure
            } catch (...) {
            }
        }
    }
    if (!failure && pending_)
        failure = std::exchange(pending_, nullptr);
    if (failure) {
        fail(failure);
        return;
    }
    if (closePending_) {
        closePending_ = false;
        close();
    }
}

// Between frames of a routine: the window repaints what needs it and takes
// window events; input is discarded by the filter. A failure in a paint or
// resize path ends the routine here.
void Form1::betweenFrames()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (pending_)
        std::rethrow_exception(std::exchange(pending_, nullptr));
}

// Input that queued up before the routine's end is discarded here, after a
// round trip to the window system so that what it already holds arrives too;
// everything else (painting, a close request) is processed as usual.
void Form1::dropQueuedInput()
{
    dropping_ = true;
    struct Reset {
        bool& flag;
        ~Reset() { flag = false; }
    } reset{dropping_};
    QGuiApplication::sync();
}

namespace {
bool isUserInput(QEvent::Type type)
{
    switch (type) {
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
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}
} // namespace

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (isUserInput(event->type())) {
        if (busy_ || dropping_)
            return true;
        if (const auto* input = dynamic_cast<const QInputEvent*>(event);
            input && gate_.givenBeforeEnd(input->timestamp(), InputGate::nowMs()))
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::failLater(std::exception_ptr failure) noexcept
{
    if (pending_ || !failure)
        return;
    pending_ = std::move(failure);
    if (busy_)
        return; // betweenFrames or run reports it
    const bool wasEnded = ended_;
    ended_ = true; // nothing starts before the report
    if (wasEnded)
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            ended_ = false;
            fail(std::exchange(pending_, nullptr));
        },
        Qt::QueuedConnection);
}

void Form1::fail(const std::exception_ptr& failure) noexcept
{
    if (ended_)
        return; // one report; the program is already ending
    // Set before the modal box runs its own event loop, so that nothing
    // queued can start a routine while it is up.
    ended_ = true;
    try {
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
    } catch (...) {
        // Not even the report could be made (memory is exhausted): say so
        // plainly and still end with the failure's status.
        std::fputs("Kestivo1: run-time error\n", stderr);
    }
    end(1);
}

void Form1::end(int status)
{
    ended_ = true;
    options_.exit(status);
    hide();
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (busy_) {
        closePending_ = true;
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

// As on the original platform, Enter clicks the focused button as Space
// does. (QPushButton only answers Enter as a dialog's default button.)
void Form1::keyPressEvent(QKeyEvent* event)
{
    // A held key's repeats are not clicks, as QPushButton treats Space.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (event->isAutoRepeat())
            return;
        if (auto* b = qobject_cast<QPushButton*>(focusWidget())) {
            b->click();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void Form1::resizeEvent(QResizeEvent* event)
{
    try {
        canvas_->setGeometry(rect());
    } catch (...) {
        failLater(std::current_exception());
    }
    QWidget::resizeEvent(event);
}

} // namespace kestivo
