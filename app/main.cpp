#include "platform/Allocator.h"
#include "platform/Random.h"
#include "platform/Services.h"
#include "platform/ui/QtServices.h"
#include "shell/Form1.h"

#include <QApplication>

int main(int argc, char** argv) {
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
