# Warnings shared by both builds.
set(QV_WARNINGS -Wall -Wextra -Werror -Wno-unused-parameter)
