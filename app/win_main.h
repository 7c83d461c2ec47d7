#pragma once

#include "engine/engine.h"
#include "platform/windows_api.h"

// The viewer's entry point and the two functions the engine calls every frame.

// The engine, while WinMain runs; WinMain holds one reference to it.
extern Engine* appEngine;

bool frameCallback();
bool renderCallback();

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previousInstance, LPSTR commandLine, int show);
