/* Ids of the resources the executables carry, for the resource scripts and the code alike. */
#pragma once

/* The program's logo, the first and only icon: Explorer, the taskbar and both windows use it. */
#define IDI_ORMANDEL 1
