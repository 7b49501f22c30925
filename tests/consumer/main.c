/* A host built against an installed vexmend: initialises the library with a
 * work folder and asks for a repair of a file that does not exist. */
#include <stdio.h>
#include <vexmend.h>

int main(int argc, char** argv)
{
    if (argc < 2 || QorMxfInit(NULL, 0, argv[1]) != VEXMEND_OK) return 1;
    int32_t result = QorMxfGeneralRepair("no such file.mxf", "out.mxf");
    printf("%d\n", (int)result);
    return result == VEXMEND_NO_INPUT ? 0 : 2;
}
