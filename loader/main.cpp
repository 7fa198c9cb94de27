// pictavo-loader: reads pictures for pictavo and pictavo-fx, confined.
#include "loader/LoaderMain.h"

int main(int argc, char** argv)
{
    return runLoader(argc, argv);
}
