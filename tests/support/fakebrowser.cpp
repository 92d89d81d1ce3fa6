#include "fakebrowser.h"

#include <QDesktopServices>

FakeBrowser::FakeBrowser()
{
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open");
}

FakeBrowser::~FakeBrowser()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
}
