#pragma once

#include "platform/FileManagerHandOff.h"

// The services of this system's desktop session that show files and folders.
FileManagerHandOff::Services FileManagerSession();
