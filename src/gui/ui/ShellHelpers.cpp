#include "gui/ui/ShellHelpers.h"

#include "core/platform/CursorFile.h"
#include "core/platform/Launcher.h"
#include "core/platform/Random.h"
#include "core/platform/Services.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QRadioButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>
#include <QTime>
#include <QWidget>

#include <algorithm>

namespace pictrove::shell {

namespace {
QString g_programFolderOverride;
QPointer<QWidget> g_lastActiveWindow;
}  // namespace

QWidget* LastActiveProgramWindow() {
    return g_lastActiveWindow;
}
void SetLastActiveProgramWindow(QWidget* window) {
    g_lastActiveWindow = window;
}

void SetProgramFolderForTesting(const QString& folder) {
    g_programFolderOverride = folder;
}

QString ProgramFolder() {
    return g_programFolderOverride.isEmpty() ? QCoreApplication::applicationDirPath()
                                             : g_programFolderOverride;
}

QStringList SupportFolders() {
    // PICTROVE_DATA_FROM_BIN: the installed data folder relative to the installed bin/,
    // set by packaging/CMakeLists.txt from the install layout.
    const QString program = ProgramFolder();
    return {program,
            QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                QStringLiteral("/pictrove"),
            QDir::cleanPath(program + QStringLiteral("/" PICTROVE_DATA_FROM_BIN))};
}

QString FindSupportFile(const QString& name) {
    const QStringList folders = SupportFolders();
    for (const QString& folder : folders) {
        QString path = folder + QDir::separator() + name;
        if (QFileInfo(path).isFile()) {
            return path;
        }
    }
    return QString();
}

bool FileExists(const QString& path) {
    if (path.isEmpty()) {
        return false;
    }
    const QFileInfo info(path);
    return info.exists() && info.lastModified().isValid();
}

void CenterForm(QWidget* window) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!window || !screen) {
        return;
    }
    const QSize outer = window->frameGeometry().size();
    const QRect area = screen->geometry();
    const float left = (float(area.width()) - float(outer.width())) / 2.0f;
    const float top = (float(area.height()) - float(outer.height())) / 2.0f;
    // A window too large for the screen keeps its title bar and top-left corner on the
    // part of the screen that panels leave free, so it can still be moved and closed.
    const QRect available = screen->availableGeometry();
    window->move(std::max(area.x() + int(left), available.x()),
                 std::max(area.y() + int(top), available.y()));
}

void SetButtonFaceColors(QWidget* window) {
    if (!window) {
        return;
    }
    const QColor face = window->style()->standardPalette().color(QPalette::Button);
    auto recolour = [&face](QWidget* w) {
        QPalette palette = w->palette();
        palette.setColor(QPalette::Window, face);
        w->setPalette(palette);
        w->setAutoFillBackground(true);
    };
    recolour(window);
    const QList<QWidget*> children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) ||
            qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child)) {
            recolour(child);
        }
    }
}

void ApplySkin(QWidget* mainWindow) {
    const QString path = FindSupportFile(QStringLiteral("x/o.cjs"));
    if (path.isEmpty()) {
        return;
    }
    SetButtonFaceColors(mainWindow);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return;  // a skin that cannot be read leaves the platform's look
    }
    // The skin applies to every window of the program, the results window included.
    qApp->setStyleSheet(QString::fromUtf8(file.read(1 << 20)));
}

void MaybeOpenHomePage() {
    platform::Services& s = platform::services();
    if (!s.random) {
        return;
    }
    s.random->seed(quint32(QTime::currentTime().msecsSinceStartOfDay() / 1000));
    const int n = int(s.random->next() * 100.0) + 1;
    if (n == 7 && s.launcher) {
        s.launcher->openAddress(kHomePage);
    }
}

std::optional<QCursor> LoadCursorFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > (4 << 20)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    const std::optional<platform::CursorHeader> header = platform::readCursorHeader(bytes);
    if (!header) {
        return std::nullopt;
    }
    const QImage image = QImage::fromData(bytes, "ICO");
    if (image.isNull()) {
        return std::nullopt;
    }
    const QPoint hot(qMin(header->hotspot.x(), image.width() - 1),
                     qMin(header->hotspot.y(), image.height() - 1));
    return QCursor(QPixmap::fromImage(image), hot.x(), hot.y());
}

}  // namespace pictrove::shell
