// Resource identifiers of launcher.
#pragma once

#define IDI_LAUNCHER           101
