#pragma once

#include <QCommandLineParser>
#include <QList>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

// A benchmark's command line: its sizes as options with their defaults, and --help for the usage
// (QCommandLineParser prints it and ends the program, as it does for a mistake).
class BenchOptions {
public:
    explicit BenchOptions(const QString& description)
    {
        m_parser.setApplicationDescription(description);
        m_parser.addHelpOption();
    }

    // An option taking whole numbers, comma-separated ("--rows 1000000,3000000"), or one.
    void addSizes(const QString& name, const QString& meaning, const QString& defaults)
    {
        add(name, meaning, defaults, QStringLiteral("N[,N...]"));
    }
    void addSize(const QString& name, const QString& meaning, const QString& fallback)
    {
        add(name, meaning, fallback, QStringLiteral("N"));
    }

    void process(const QStringList& arguments) { m_parser.process(arguments); }

    // The option's numbers; a value that is not a list of whole numbers (0 or more) ends the
    // program with the usage.
    QList<int> sizes(const QString& name) const
    {
        QList<int> numbers;
        for (const QString& part : m_parser.value(name).split(QLatin1Char(','))) {
            bool ok = false;
            const int number = part.trimmed().toInt(&ok);
            if (!ok || number < 0) {
                std::fprintf(stderr, "--%s takes whole numbers separated by commas, not \"%s\"\n\n%s", qPrintable(name),
                             qPrintable(m_parser.value(name)), qPrintable(m_parser.helpText()));
                std::exit(2);
            }
            numbers.append(number);
        }
        return numbers;
    }
    int size(const QString& name) const { return sizes(name).constFirst(); }

private:
    void add(const QString& name, const QString& meaning, const QString& defaults, const QString& valueName)
    {
        m_parser.addOption(QCommandLineOption(name, meaning + QStringLiteral(" (default %1)").arg(defaults), valueName,
                                              defaults));
    }

    QCommandLineParser m_parser;
};
