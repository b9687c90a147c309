// The one place that includes libmdb's header. It declares glib and iconv
// inside an extern "C" block, which C++ headers do not survive, so both are
// included first.
#pragma once

#include <glib.h>
#include <iconv.h>
#include <mdbtools.h>
