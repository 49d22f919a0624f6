#include "shell.h"
#include "Unit1.h"

int main(int argc, char *argv[])
{
    tarvidon::Application application(argc, argv);
    tarvidon::TForm1 Form1;
    Form1.show();
    return application.exec();
}
