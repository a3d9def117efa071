#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QCoreApplication>
#include <QStringList>

#include <optional>

#include "LaunchOptions.h"

class QCommandLineParser;

// Reads and checks the program's arguments before anything else happens, so that a bad
// value ends the run before any adb command, window or recording file exists.
class CommandLine
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
public:
    enum Action {
        Run,
        ShowHelp,
        ShowVersion,
        ListDevices,
        Fail,
    };
    // The exit code of a run refused for its arguments.
    static constexpr int kUsageExitCode = 2;
    // The longest time limit a timer can count in milliseconds.
    static constexpr qint64 kMaxTimeLimitSeconds = 2147483;

    // The arguments as the program received them, its own name first. Needs no application
    // object; the only file it reads is the keymap.
    Action parse(const QStringList& arguments);

    const LaunchOptions& options() const { return m_options; }
    // The one line explaining a Fail, in the user's language once a translator is installed.
    QString errorText() const;
    QString helpText() const;

private:
    void addOptions(QCommandLineParser& parser) const;
    bool failParse(const QCommandLineParser& parser, const QStringList& arguments);
    QStringList takeTcpipValue(const QStringList& arguments);
    bool readValues(const QCommandLineParser& parser);
    bool readSerials(const QCommandLineParser& parser);
    bool checkCombinations();
    template <typename T>
    bool readNumber(const QCommandLineParser& parser, const char* name, qint64 min, qint64 max, std::optional<T>& field);
    bool readNumbers(const QCommandLineParser& parser);
    bool readWindow(const QCommandLineParser& parser);
    bool readPicture(const QCommandLineParser& parser);
    bool readWireless(const QCommandLineParser& parser);
    bool readRecord(const QCommandLineParser& parser);
    bool readKeymap(const QCommandLineParser& parser);
    void readFlags(const QCommandLineParser& parser);
    bool fail(const char* sourceText, const QStringList& args, const QString& acceptsOf = QString());
    bool failValue(const QString& option, const QString& value);

    LaunchOptions m_options;
    // Kept untranslated until errorText(), which runs after the translator is installed.
    const char* m_errorSource = nullptr;
    QStringList m_errorArgs;
    // The option whose accepted values end the message, if any.
    QString m_acceptsOf;
    // A refusal of the parser itself that none of the texts above describes.
    QString m_parserError;
    // The value of "--tcpip=VALUE", taken out before the parser sees the arguments.
    std::optional<QString> m_tcpipValue;
};

#endif // COMMANDLINE_H
