// Loaded into the tool ahead of everything else by bench_startup (LD_PRELOAD), so the tool's own
// executable is measured unchanged: the first time its main window paints, the probe writes the
// monotonic clock in nanoseconds to the descriptor named by ZYL_BENCH_REPORT_FD and closes the
// window, which ends the tool.
#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace {

class TShownWatcher : public QObject {
  public:
    using QObject::QObject;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (fReported || event->type() != QEvent::Paint || !watched->isWidgetType())
            return false;
        QWidget* window = static_cast<QWidget*>(watched)->window();
        if (!window->inherits("TMainForm"))
            return false;
        fReported = true;
        Report();
        QTimer::singleShot(0, window, &QWidget::close);
        return false;
    }

  private:
    static void Report() {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const char* fdText = std::getenv("ZYL_BENCH_REPORT_FD");
        if (fdText == nullptr)
            return;
        char line[64];
        const int length = std::snprintf(line, sizeof(line), "%lld\n",
                                         static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
        if (length > 0 && write(std::atoi(fdText), line, static_cast<size_t>(length)) < 0)
            std::perror("window probe");
    }

    bool fReported = false;
};

void InstallShownWatcher() {
    QCoreApplication::instance()->installEventFilter(new TShownWatcher(QCoreApplication::instance()));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallShownWatcher)
