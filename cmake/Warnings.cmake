# Warnings for every target of the project: on, and kept clean.
add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Woverloaded-virtual)
if(VB_WERROR)
  add_compile_options(-Werror)
endif()
