// Stands in for the header widl would generate from scribly_base.idl: the
// platform headers already declare those names.
#pragma once
#include <unknwn.h>
#include <windows.h>
