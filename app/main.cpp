#include "core/platform/Allocator.h"
#include "core/platform/Random.h"
#include "core/platform/Services.h"
#include "core/platform/TemporaryFiles.h"
#include "gui/main/Form1.h"
#include "gui/ui/QtServices.h"

#include <QApplication>

int main(int argc, char** argv) {
    pictrove::platform::endCleanlyOnInterrupt();
    pictrove::platform::removeStaleTemporaryFolders();
    pictrove::platform::tuneAllocatorForLargePictures();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pictrove"));
    QApplication::setOrganizationName(QStringLiteral("Tarnwick"));

    pictrove::platform::QtServices qtServices;
    qtServices.install();

    pictrove::shell::Form1 form;
    form.load();
    form.show();
    return QApplication::exec();
}
