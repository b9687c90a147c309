// The script runner's own pictures, drawn in code: a database drum, used as the program icon and
// on the "Open MDB" command. The style's stock icons cover the other commands.
#pragma once

#include <QIcon>

QIcon DatabaseIcon();
