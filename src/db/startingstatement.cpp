#include "db/startingstatement.h"

QString startingStatement()
{
    return QStringLiteral("select image,driver,driverlevel, car, date, besttime, \n"
                          "trackname,iif(multiplayer=1,'MP','SP') as Racetype\n"
                          "from ((RACR\n"
                          "left join DRIVERS on DRIVERS.drivername=RACR.driver) \n"
                          "inner join TRACKLIST on TRACKLIST.trackid=RACR.trackid)\n"
                          "order by trackname, multiplayer DESC,\n"
                          "case when trim(besttime,'0123456789') in ('','.') and besttime not in ('','.') then cast(besttime as numeric) end is null,\n"
                          "case when trim(besttime,'0123456789') in ('','.') and besttime not in ('','.') then cast(besttime as numeric) end ASC,\n"
                          "besttime NULLS FIRST");
}
