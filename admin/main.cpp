#include "admin/admin_cli.h"
#include "admin/console.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    zavek::admin::StdConsole console;
    zavek::admin::AdminCli cli(console);
    return cli.run(QCoreApplication::arguments().mid(1));
}
