#include "webservice/answercheck.h"

#include "webservice/xmldocument.h"

namespace racr {

QString answerProblem(int httpStatus, const XmlDocument& document)
{
    if (httpStatus >= 400)
        return QStringLiteral("HTTP %1").arg(httpStatus);
    if (!document.loadProblem().isEmpty())
        return document.loadProblem();
    const QString root = document.rootName();
    const bool errorPage = root.compare(QLatin1String("html"), Qt::CaseInsensitive) == 0
                           || root == QLatin1String("error");
    if (errorPage)
        return QStringLiteral("root element <%1>").arg(root);
    return {};
}

} // namespace racr
