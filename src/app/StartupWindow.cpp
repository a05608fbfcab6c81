#include "app/Startup.h"

#include <QApplication>

int runCorvana(QApplication& app)
{
    return app.exec();
}
