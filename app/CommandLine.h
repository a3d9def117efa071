#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QCoreApplication>
#include <QStringList>

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
    bool readValues(const QCommandLineParser& parser);
    bool readNumbers(const QCommandLineParser& parser);
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
};

#endif // COMMANDLINE_H
