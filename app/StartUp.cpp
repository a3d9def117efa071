#include "StartUp.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QLocale>
#include <QStandardPaths>
#include <QSurfaceFormat>
#include <QTranslator>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#ifdef VADIZEDE_HAVE_X11
#include <X11/Xlib.h>
#endif

#include "AppPath.h"
#include "AppVersion.h"

namespace {

// Shipped beside the program; the built-in copy serves a program started from another directory.
const QString kConfigTemplate = QStringLiteral("config/config.ini");
const QString kBuiltInConfigTemplate = QStringLiteral(":/config/config.ini");

void seedConfigFile(const QString& target)
{
    if (QFileInfo::exists(target)) {
        return;
    }
    const QString source = QFileInfo::exists(kConfigTemplate) ? kConfigTemplate : kBuiltInConfigTemplate;
    if (!QFile::copy(source, target)) {
        return;
    }
    // The copy takes the template's permissions; a read-only copy would silently drop every setting saved.
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

} // namespace

void limitMemoryPools()
{
#if defined(__GLIBC__)
    // Each connection starts new stream and decoder threads. With a pool of its own per thread, the
    // C library keeps megabytes of freed memory spread over them, more after some connections than
    // after others; one pool keeps a window open all day at the same size. The threads allocate
    // little per frame, so they hardly ever wait for each other.
    mallopt(M_ARENA_MAX, 1);
#endif
}

void initDataPath()
{
    const QString location = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    const QString appPath = location + "/" + "VuvodiZidevi";
    setAppPath(appPath);

    QDir dir;
    if (!dir.exists(appPath)) {
        dir.mkpath(appPath);
    }
    const QString configDir = appPath + "/config";
    if (!dir.exists(configDir)) {
        dir.mkdir(configDir);
    }
    seedConfigFile(configDir + "/config.ini");
}

// A value the user set is theirs: it names the adb, server or keymaps they want used.
void putEnvironmentDefault(const char* name, const QByteArray& value)
{
    if (!qEnvironmentVariableIsEmpty(name)) {
        return;
    }
    qputenv(name, value);
}

void setStartupEnvironment()
{
    qputenv("VADIZEDE_CONFIG_PATH", (getAppPath() + "/config").toLocal8Bit());
    putEnvironmentDefault("VADIZEDE_ADB_PATH", "../../../ZelDravik/VaDizedeCore/src/third_party/adb/win/adb.exe");
    putEnvironmentDefault("VADIZEDE_SERVER_PATH", "../../../ZelDravik/VaDizedeCore/src/third_party/dravik-server");
    putEnvironmentDefault("VADIZEDE_KEYMAP_PATH", "../../../keymap");
}

bool canOpenDisplay()
{
#ifdef VADIZEDE_HAVE_X11
    // Another platform plugin (offscreen, wayland) reports its own problems.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb")) {
        return true;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        return false;
    }
    XCloseDisplay(display);
#endif
    return true;
}

std::optional<Qt::ApplicationAttribute> openGLAttribute(int useDesktopOpenGL)
{
    switch (useDesktopOpenGL) {
    case 0:
        return Qt::AA_UseSoftwareOpenGL;
    case 1:
        return Qt::AA_UseOpenGLES;
    case 2:
        return Qt::AA_UseDesktopOpenGL;
    default:
        return std::nullopt;
    }
}

void applyOpenGLChoice(int useDesktopOpenGL)
{
    if (const auto attribute = openGLAttribute(useDesktopOpenGL)) {
        QCoreApplication::setAttribute(*attribute);
    }
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
}

void setDefaultSurfaceFormat()
{
    QSurfaceFormat format = QSurfaceFormat::defaultFormat();
    format.setVersion(2, 0);
    format.setProfile(QSurfaceFormat::NoProfile);
    QSurfaceFormat::setDefaultFormat(format);
}

void installAppFont()
{
    QFont font;
    font.setFamily("Microsoft Yahei UI");
    // Where the designed-for family is missing, take a close sans serif with Chinese glyphs.
    font.setFamilies({"Microsoft Yahei UI", "Noto Sans CJK SC", "WenQuanYi Micro Hei", "DejaVu Sans"});
    font.setItalic(false);
    QApplication::setFont(font);
}

void setApplicationIdentity()
{
    QCoreApplication::setApplicationName("VaDizede");
    QCoreApplication::setApplicationVersion(appVersion());
}

QStringList commandLineArguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return arguments;
}

QString displayVersion(const QString& version)
{
    const QStringList parts = version.split('.', Qt::KeepEmptyParts);
    if (parts.size() <= 2) {
        return version;
    }
    return parts.mid(0, 3).join('.');
}

QString installTranslatorFor(const QStringList& uiLanguages)
{
    // Lives until the process ends, like the texts it translates.
    // The application object may be a console one (a refused argument, --help): not qApp, which assumes a GUI one.
    static QTranslator* s_translator = new QTranslator(QCoreApplication::instance());
    for (const QString& language : uiLanguages) {
        const QString catalogue = ":/i18n/" + QLocale(language).name() + ".qm";
        if (s_translator->load(catalogue)) {
            QCoreApplication::installTranslator(s_translator);
            return catalogue;
        }
    }
    return QString();
}

void installTranslator()
{
    installTranslatorFor(QLocale::system().uiLanguages());
}
