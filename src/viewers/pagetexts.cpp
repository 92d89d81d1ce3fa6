#include "viewers/pagetexts.h"

namespace racr {

// Both stylesheets are kept character for character as the pages have always been made: one line,
// printable ASCII only. The XML declaration's encoding is never used to decode them (they are
// parsed from Unicode text) and the page is always written out in UTF-8.

QString leaderboardStylesheetText()
{
    return QStringLiteral(R"xsl(<?xml version="1.0" encoding="ISO-8859-2"?><xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"><xsl:template match="/"><html><head><title>Leaderboard</title></head><body><h2> <xsl:value-of select="list/track/@name"/> - <xsl:value-of select="list/track/@mode"/></h2><h2> <xsl:value-of select="list/track/@type"/> </h2><h3>records: <xsl:value-of select="count(list/worldLeaderboard)"/></h3><xsl:for-each select="list/worldLeaderboard"><xsl:sort select="@eventDuration" order="ascending"/><b><xsl:value-of select="position()"/>. </b><b><xsl:value-of select="@personaName"/></b><br /><i>Best Time: </i><xsl:value-of select="@eventDuration"/><br /><i>Car: </i><xsl:value-of select="@make"/><xsl:text disable-output-escaping="yes">&amp;nbsp;</xsl:text><xsl:value-of select="@carName"/> <br /><i>Date: </i><xsl:value-of select="@createdDateStr"/>&#160;&#160;<xsl:value-of select="substring(@createdDate,12,8)"/><p /></xsl:for-each></body> </html> </xsl:template> </xsl:stylesheet>)xsl");
}

QString eventsStylesheetText()
{
    return QStringLiteral(R"xsl(<?xml version="1.0" encoding="ISO-8859-1"?><xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"><xsl:template match="/"><html><head><title>Daily Leaderboard Events</title></head><body><h2>Daily Leaderboard Events</h2><table border="1"><tr><th><div align="left"></div></th><th bgcolor="#CCCCCC"><div align="left">Trackname </div></th><th bgcolor="#CCCCCC"><div align="left">Tracktype </div></th><th bgcolor="#CCCCCC"><div align="left">Class </div></th></tr><xsl:for-each select="list/worldLeaderboardEvent"><xsl:sort select="@eventName" order="ascending"/><tr><td><b><xsl:value-of select="position()"/>. </b></td><td><b><xsl:value-of select="@eventName"/><xsl:text disable-output-escaping="yes">&amp;nbsp;</xsl:text> </b></td><td><b><xsl:value-of select="@eventModeName"/><xsl:text disable-output-escaping="yes">&amp;nbsp;</xsl:text> </b></td><td><xsl:if test="@maxTier = 249"><b>E</b></xsl:if><xsl:if test="@maxTier = 399"><b>D</b></xsl:if><xsl:if test="@maxTier = 499"><b>C</b></xsl:if><xsl:if test="@maxTier = 599"><b>B</b></xsl:if><xsl:if test="@maxTier = 749"><b>A</b></xsl:if><xsl:if test="@minTier = 750"><b>S</b></xsl:if><xsl:if test="@minTier = 0 and @maxTier = 999"><b>OPEN</b></xsl:if><xsl:text disable-output-escaping="yes">&amp;nbsp;</xsl:text></td></tr></xsl:for-each></table></body> </html> </xsl:template> </xsl:stylesheet>)xsl");
}

QString errorPage()
{
    return QStringLiteral("<html><body> Error parsing data! </body></html>");
}

} // namespace racr
