#include "service.h"

#include <libxml/xmlwriter.h>

#include <cstdio>

namespace sim {

namespace {

// Documents go through libxml2's writer so that every name and message, quotes and ampersands
// included, comes out escaped and well-formed.
class XmlOut {
public:
    XmlOut() : m_buffer(xmlBufferCreate()), m_writer(xmlNewTextWriterMemory(m_buffer, 0))
    {
        xmlTextWriterStartDocument(m_writer, "1.0", "UTF-8", "yes");
    }
    ~XmlOut()
    {
        if (m_writer)
            xmlFreeTextWriter(m_writer);
        xmlBufferFree(m_buffer);
    }
    XmlOut(const XmlOut&) = delete;
    XmlOut& operator=(const XmlOut&) = delete;

    XmlOut& open(const char* tag)
    {
        xmlTextWriterStartElement(m_writer, chars(tag));
        return *this;
    }
    XmlOut& attr(const char* name, const std::string& value)
    {
        xmlTextWriterWriteAttribute(m_writer, chars(name), chars(value.c_str()));
        return *this;
    }
    XmlOut& attr(const char* name, int value) { return attr(name, std::to_string(value)); }
    XmlOut& text(const std::string& value)
    {
        xmlTextWriterWriteString(m_writer, chars(value.c_str()));
        return *this;
    }
    XmlOut& close()
    {
        xmlTextWriterEndElement(m_writer);
        return *this;
    }
    std::string finish()
    {
        xmlTextWriterEndDocument(m_writer);
        xmlFreeTextWriter(m_writer); // flushes into the buffer
        m_writer = nullptr;
        return std::string(reinterpret_cast<const char*>(xmlBufferContent(m_buffer)), std::size_t(xmlBufferLength(m_buffer)));
    }

private:
    static const xmlChar* chars(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

    xmlBufferPtr m_buffer;
    xmlTextWriterPtr m_writer;
};

std::string percentDecode(std::string_view text)
{
    auto hex = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            decoded += char(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            decoded += text[i] == '+' ? ' ' : text[i];
        }
    }
    return decoded;
}

std::map<std::string, std::string> parseQuery(std::string_view query)
{
    std::map<std::string, std::string> values;
    while (!query.empty()) {
        const std::size_t amp = std::min(query.find('&'), query.size());
        const std::string_view pair = query.substr(0, amp);
        const std::size_t equals = std::min(pair.find('='), pair.size());
        values.emplace(percentDecode(pair.substr(0, equals)), percentDecode(pair.substr(std::min(equals + 1, pair.size()))));
        query.remove_prefix(std::min(amp + 1, query.size()));
    }
    return values;
}

std::string value(const std::map<std::string, std::string>& query, const char* key)
{
    const auto found = query.find(key);
    return found == query.end() ? std::string() : found->second;
}

Answer htmlPage(int status, const std::string& title, const std::string& text)
{
    // Shaped like the error pages of a real web server: HTML, not XML (unclosed <hr>).
    return {Answer::Action::Reply, status, "text/html;charset=UTF-8",
            "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01//EN\">\n<html><head><title>" + title
                + "</title></head>\n<body><h1>" + title + "</h1>\n<p>" + text + "</p>\n<hr>\n<address>stats-sim</address>\n</body></html>\n"};
}

Answer xmlAnswer(std::string body, int status = 200)
{
    return {Answer::Action::Reply, status, "application/xml;charset=UTF-8", std::move(body)};
}

std::string seconds(int milliseconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%d.%03d", milliseconds / 1000, milliseconds % 1000);
    return text;
}

} // namespace

Fault Service::faultFor(const std::string& endpoint) const
{
    const auto found = m_faults.find(endpoint);
    return found == m_faults.end() ? Fault::None : found->second;
}

Answer Service::answer(const std::string& method, const std::string& target) const
{
    static const std::string root = "/StatsAPI/ws/game/racr/";
    const std::size_t mark = std::min(target.find('?'), target.size());
    const std::string path = target.substr(0, mark);
    const auto query = parseQuery(std::string_view(target).substr(std::min(mark + 1, target.size())));
    // The service's home page, which the program's "Info" opens in a web browser.
    if (path == "/")
        return {Answer::Action::Reply, 200, "text/html;charset=UTF-8",
                "<!DOCTYPE html>\n<html><head><title>stats-sim</title></head><body><h1>stats-sim</h1>"
                "<p>A stand-in for the racing game's statistics service, for the RACR tool's tests and demos. "
                "It answers under " + root + " with generated, repeatable documents.</p>"
                "<p><a href=\"" + root + "servers/status\">Servers status</a></p></body></html>\n"};
    if (path.rfind(root, 0) != 0)
        return htmlPage(404, "Not Found", "The statistics service lives under " + root + ".");
    const std::string rest = path.substr(root.size());

    std::string endpoint, expectedMethod = "GET", name, resource;
    if (rest == "leaderboards") {
        endpoint = "leaderboards";
        expectedMethod = "POST";
    } else if (rest == "leaderboards/events") {
        endpoint = "events";
    } else if (rest == "servers/status") {
        endpoint = "status";
    } else if (rest.rfind("driver/", 0) == 0 && rest.find('/', 7) != std::string::npos) {
        const std::size_t slash = rest.rfind('/');
        name = percentDecode(rest.substr(7, slash - 7));
        resource = rest.substr(slash + 1);
        if (resource == "profile" || resource == "profiles" || resource == "stats" || resource == "cars")
            endpoint = resource;
        else if (resource == "lastLogin")
            endpoint = "lastlogin";
    }
    if (endpoint.empty())
        return htmlPage(404, "Not Found", "No such resource: " + path);
    if (method != expectedMethod)
        return htmlPage(405, "Method Not Allowed", "Use " + expectedMethod + " for " + path + ".");
    if (endpoint == "status")
        return {Answer::Action::Reply, 200, "text/html;charset=UTF-8",
                "<html><head><title>Servers status</title></head><body><h1>Servers status</h1>"
                "<table><tr><th>Shard</th><th>Status</th></tr><tr><td>APEX</td><td>Online</td></tr>"
                "<tr><td>CHICANE</td><td>Online</td></tr></table><p>Simulated by stats-sim.</p></body></html>"};

    const Fault fault = faultFor(endpoint);
    switch (fault) {
    case Fault::Http500:
        return htmlPage(500, "Internal Server Error", "The statistics service could not answer this request.");
    case Fault::NotXml:
        return {Answer::Action::Reply, 200, "text/plain;charset=UTF-8", "Service temporarily unavailable. Please try again later.\n"};
    case Fault::Drop:
        return {Answer::Action::Drop, 0, {}, {}};
    case Fault::Hang:
        return {Answer::Action::Hang, 0, {}, {}};
    default:
        break;
    }
    if (endpoint == "leaderboards")
        return leaderboards(query, fault);
    if (endpoint == "events")
        return events(query, fault);
    return driver(name, endpoint, value(query, "shard"), fault);
}

Answer Service::leaderboards(const std::map<std::string, std::string>& query, Fault fault) const
{
    const LeaderboardAsk ask{value(query, "dn"), value(query, "et"), value(query, "lt"),
                             value(query, "eid"), value(query, "rf"), value(query, "shard")};
    const std::vector<Record> records = m_population.leaderboard(ask);
    XmlOut xml;
    xml.open("list");
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        xml.open("worldLeaderboard").attr("personaName", r.personaName).attr("eventId", r.eventId).attr("make", r.make)
            .attr("carName", r.carName).attr("createdDateStr", r.createdDateStr).attr("createdDate", r.createdDate);
        if (!(fault == Fault::MissingAttr && i + 1 == records.size()))
            xml.attr("eventDuration", seconds(r.durationMs));
        xml.attr("eventType", r.eventType).close();
    }
    return xmlAnswer(xml.finish());
}

Answer Service::events(const std::map<std::string, std::string>& query, Fault fault) const
{
    const std::vector<DailyEvent> events = m_population.dailyEvents(value(query, "shard"));
    XmlOut xml;
    xml.open("list");
    for (std::size_t i = 0; i < events.size(); ++i) {
        xml.open("worldLeaderboardEvent").attr("eventName", events[i].eventName)
            .attr("eventModeName", events[i].eventModeName).attr("minTier", events[i].minTier);
        if (!(fault == Fault::MissingAttr && i + 1 == events.size()))
            xml.attr("maxTier", events[i].maxTier);
        xml.close();
    }
    return xmlAnswer(xml.finish());
}

Answer Service::driver(const std::string& name, const std::string& resource, const std::string& shard, Fault fault) const
{
    const Driver* driver = m_population.find(name);
    if (driver == nullptr) {
        XmlOut xml;
        xml.open("error").open("code").text("404").close().open("message").text("No driver is named \"" + name + "\".").close();
        return xmlAnswer(xml.finish(), 404);
    }
    const DriverFacts facts = m_population.facts(*driver, shard);
    const bool missing = fault == Fault::MissingAttr;
    XmlOut xml;
    if (resource == "profile") {
        xml.open("worldDriverProfile").attr("name", driver->name).attr("level", facts.level)
            .attr("statusMessage", driver->statusMessage);
        if (!missing)
            xml.attr("image", facts.image);
    } else if (resource == "profiles") {
        xml.open("list");
        for (std::size_t i = 0; i < facts.personas.size(); ++i) {
            const Persona& p = facts.personas[i];
            xml.open("worldPersona").attr("personaName", p.personaName);
            if (!(missing && i + 1 == facts.personas.size()))
                xml.attr("level", p.level);
            xml.attr("defaultPersona", p.isDefault ? "true" : "false").attr("image", p.image)
                .attr("statusMessage", p.statusMessage).close();
        }
    } else if (resource == "lastlogin") {
        xml.open("worldLastLogin");
        if (!missing)
            xml.open("lastLogin").text(facts.lastLogin).close();
    } else if (resource == "stats") {
        xml.open("worldStats").open("worldEventStats");
        for (const auto& [attribute, text] : facts.eventStats)
            xml.attr(attribute, text);
        xml.close().open("worldStreaksStats");
        for (const auto& [attribute, text] : facts.streaksStats)
            if (!(missing && std::string_view(attribute) == "bestMultiPlayerWinStreak"))
                xml.attr(attribute, text);
    } else { // cars
        xml.open("list");
        for (std::size_t i = 0; i < facts.cars.size(); ++i) {
            const OwnedCar& car = facts.cars[i];
            const bool last = i + 1 == facts.cars.size();
            xml.open("worldCar").attr("make", car.make);
            if (!(missing && last))
                xml.attr("carName", car.carName);
            if (!(fault == Fault::FewerProfiles && last))
                xml.open("physicsProfile").attr("topSpeed", car.topSpeed).attr("acceleration", car.acceleration)
                    .attr("handling", car.handling).attr("rating", car.rating).attr("carClass", car.carClass).close();
            xml.close();
        }
    }
    return xmlAnswer(xml.finish());
}

} // namespace sim
