#pragma once
// SOCI as the register uses it. Debian's SOCI was built with Boost support
// but its headers then need Boost's, which the package does not pull in; the
// Boost parts are templates for Boost types the register never binds, so
// they are switched off here without touching the library's ABI.

#include <soci/soci-config.h>

#undef SOCI_HAVE_BOOST
#undef SOCI_HAVE_BOOST_DATE_TIME

#include <soci/soci.h>
