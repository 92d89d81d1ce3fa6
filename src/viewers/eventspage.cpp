#include "viewers/eventspage.h"

#include "viewers/pagetexts.h"
#include "webservice/xslstylesheet.h"

namespace racr {

QString eventsPage(const XmlDocument& answer)
{
    static const XslStylesheet stylesheet(eventsStylesheetText());
    return stylesheet.transform(answer);
}

} // namespace racr
