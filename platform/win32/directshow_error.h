#pragma once
// A failed DirectShow call as the engine's MediaError: the system's text for the HRESULT
// followed by " ($XXXXXXXX).", in UTF-8.

#include <windows.h>

#include <string>

#include "ports/media_graph.h"

namespace zumbolo::win32 {

std::string MediaErrorText(HRESULT result);
// Throws MediaError when `result` is a failure; returns it otherwise.
HRESULT Check(HRESULT result);

}  // namespace zumbolo::win32
