# Warnings apply to the project's own targets only; they are errors there.
function(vocerra_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wformat=2 -Werror)
  # GCC 12 reports overlapping copies inside std::string at -O2 and above
  # where there are none (its bug 105329); the check is sound from GCC 13 on.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()

if(CMAKE_BUILD_TYPE STREQUAL "Release")
  add_compile_options(-fstack-protector-strong)
  add_compile_definitions(_FORTIFY_SOURCE=2)
  # Relocations read-only once loaded, as Debian's hardened programs have them.
  add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()
