#include "viewers/driverreport.h"

#include "common/avatar.h"
#include "common/error.h"
#include "webservice/endpoints.h"
#include "webservice/readers.h"
#include "webservice/xmldocument.h"

#include <QImageReader>

#include <exception>

namespace racr {

namespace {

const QString kSeparator(133, QLatin1Char('-'));
const QString kBlank = QStringLiteral(" ");

QImage loadAvatar(const QString& file)
{
    QImageReader reader(file);
    QImage avatar = reader.read();
    if (avatar.isNull())
        throw Error(QStringLiteral("The avatar %1 cannot be shown: %2. Put the driver's avatar bitmap there.")
                        .arg(file, reader.errorString()));
    return avatar;
}

// The statistics lines in the order they are shown; an empty attribute stands for a blank line.
struct StatLine {
    const char* element;
    const char* attribute;
};
constexpr StatLine kStatLines[] = {
    {"worldEventStats", "totalRacesWon"},
    {"worldEventStats", "totalRacesLost"},
    {"worldEventStats", "averageFinishingPlace"},
    {nullptr, nullptr},
    {"worldEventStats", "singlePlayerRacesWon"},
    {"worldEventStats", "singlePlayerRacesLost"},
    {"worldEventStats", "singlePlayerAverageFinishingPlace"},
    {"worldEventStats", "singlePlayerDnfCount"},
    {"worldEventStats", "singlePlayerTotalPlacing"},
    {nullptr, nullptr},
    {"worldEventStats", "multiPlayerRacesWon"},
    {"worldEventStats", "multiPlayerRacesLost"},
    {"worldEventStats", "multiPlayerAverageFinishingPlace"},
    {"worldEventStats", "multiPlayerDnfCount"},
    {"worldEventStats", "multiPlayerTotalPlacing"},
    {nullptr, nullptr},
    {"worldStreaksStats", "bestSinglePlayerWinStreak"},
    {"worldStreaksStats", "currentSinglePlayerWinStreak"},
    {"worldStreaksStats", "bestMultiPlayerWinStreak"},
    {"worldStreaksStats", "currentMultiPlayerWinStreak"},
};

void showDisplay(const QString& base, const QString& name, const QString& shard, const DocumentLoader& load,
                 const DriverReportOutput& output, XmlDocument& document)
{
    const auto& line = output.appendLine;
    // Each block's header goes out once its answer is in and before anything is read from it,
    // so a failure shows which answer it came from.
    auto startBlock = [&](DriverResource resource, const QString& header) {
        load(driverUrl(base, resource, name, shard), document);
        line(name + header);
        line(kBlank);
    };

    startBlock(DriverResource::LastLogin, QStringLiteral(" last login: "));
    line(lastLoginText(readLastLogin(document)));
    line(kSeparator);

    startBlock(DriverResource::Profiles, QStringLiteral(" profiles: "));
    for (int i = 0, n = personaCount(document); i < n; ++i) {
        const Persona persona = readPersona(document, i);
        line(persona.personaName + QStringLiteral("   level:") + persona.level + QStringLiteral("   default:")
             + persona.defaultPersona + QStringLiteral("   image:") + persona.image + QStringLiteral("   statustext: \"")
             + persona.statusMessage + QLatin1Char('"'));
        if (persona.personaName == name) {
            const QString file = avatarFile(persona.image);
            output.showAvatar(file.isEmpty() ? QImage() : loadAvatar(file));
        }
    }
    line(kSeparator);

    startBlock(DriverResource::Stats, QStringLiteral(" stats: "));
    for (const StatLine& stat : kStatLines) {
        if (stat.element == nullptr)
            line(kBlank);
        else
            line(QLatin1String(stat.attribute) + QLatin1Char(':')
                 + document.attribute(QLatin1String(stat.element), 0, QLatin1String(stat.attribute)));
    }
    line(kSeparator);

    load(driverUrl(base, DriverResource::Cars, name, shard), document);
    const int cars = carCount(document);
    line(name + QStringLiteral(" cars:(") + QString::number(cars) + QLatin1Char(')'));
    line(kBlank);
    for (int i = 0; i < cars; ++i) {
        const Car car = readCar(document, i);
        line(car.make + QLatin1Char(' ') + car.carName);
        const PhysicsProfile physics = readPhysicsProfile(document, i);
        line(QStringLiteral("TopSpeed:") + physics.topSpeed + QStringLiteral("  Acceleration:") + physics.acceleration
             + QStringLiteral("  Handling:") + physics.handling + QStringLiteral("    Overall:") + physics.rating
             + QStringLiteral("    Class:") + carClassText(physics.carClass));
        line(kBlank);
    }
    line(kSeparator);
}

} // namespace

QString runDriverReport(const QString& serviceBase, const QString& name, const QString& shard,
                        const DocumentLoader& load, const DriverReportOutput& output)
{
    XmlDocument document;
    try {
        showDisplay(serviceBase, name, shard, load, output, document);
        return QString();
    } catch (const std::exception& failure) {
        const QString reason = failureMessage(failure);
        output.appendLine(QStringLiteral("Error parsing data!"));
        // Without a document there is no markup to show; the reason is the next best thing.
        const QString markup = document.rootXml();
        output.appendLine(markup.isEmpty() ? reason : markup);
        return reason;
    }
}

QString upperCaseAsciiLetters(const QString& text)
{
    QString upper = text;
    for (QChar& c : upper)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    return upper;
}

QString lastLoginText(const QString& lastLogin)
{
    QString text = lastLogin;
    if (const qsizetype t = text.indexOf(QLatin1Char('T')); t >= 0)
        text.replace(t, 1, QStringLiteral("   "));
    if (const qsizetype z = text.indexOf(QLatin1Char('Z')); z >= 0)
        text.replace(z, 1, QStringLiteral(" "));
    return text;
}

QString carClassText(const QString& carClass)
{
    QString text = carClass;
    if (const qsizetype prefix = text.indexOf(QLatin1String("carclass_")); prefix >= 0)
        text.remove(prefix, 9);
    return upperCaseAsciiLetters(text);
}

QString avatarFile(const QString& image)
{
    if (image.isEmpty())
        return QString();
    for (const QChar c : image)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return QString();
    return avatar::locate(image + QStringLiteral(".bmp"));
}

} // namespace racr
