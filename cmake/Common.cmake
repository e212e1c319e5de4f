# Warnings shared by both builds.
# Errors in every build but the package's (scripts/package.sh), whose
# optimiser raises false alarms in the standard library.
option(QV_WERROR "Treat warnings as errors" ON)
set(QV_WARNINGS -Wall -Wextra -Wno-unused-parameter)
if(QV_WERROR)
  list(APPEND QV_WARNINGS -Werror)
endif()

