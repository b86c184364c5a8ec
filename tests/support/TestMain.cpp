// The main of every Windows test executable.
#include <gtest/gtest.h>

#include <windows.h>

int main(int argc, char** argv)
{
    // A crash must end the process, not wait on an error box.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
