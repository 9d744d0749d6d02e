#include "app/QuilletApplication.h"
#include "app/Startup.h"

int main(int argc, char **argv)
{
    QuilletApplication app(argc, argv);
    if (const int code = createForms(); code >= 0)
        return code;
    const int result = app.exec();
    destroyForms();
    return result;
}
