#pragma once

// True when the Windows build runs under Wine: there are neither Windows' fonts nor a php, so
// checks of text sizes and of PHP syntax say nothing there (the Linux build runs them).
bool RunsUnderWine();
