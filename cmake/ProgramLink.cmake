# How the shipped programs (and the benchmark floors that stand for them) are
# linked by MinGW-w64. MSVC needs none of this: its runtime is linked as the
# project's settings say, and its default terminate handler is abort.
#
#   hostwend_program_link(TARGET)
function(hostwend_program_link target)
  if(NOT MINGW)
    return()
  endif()
  # One self-contained exe: no MinGW runtime DLL to ship beside it.
  target_link_options(${target} PRIVATE -municode -static -static-libgcc -static-libstdc++)
  # Release builds ship without symbols and without unreferenced code.
  target_link_options(${target} PRIVATE "$<$<CONFIG:Release,MinSizeRel>:-s;-Wl,--gc-sections>")
  # libstdc++'s default terminate handler prints the uncaught exception's
  # type by name before it aborts, and so brings its C++ name demangler and,
  # through that, the MinGW runtime's printf: some 70 KB of code. A window
  # has nowhere to print it, and the console program sets a handler of its
  # own first thing. Resolving the handler to abort, what MSVC's runtime
  # does, keeps both out.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(prefix _)  # 32-bit Windows names C symbols with a leading underscore
  endif()
  target_link_options(${target} PRIVATE
    "LINKER:--defsym,${prefix}_ZN9__gnu_cxx27__verbose_terminate_handlerEv=${prefix}abort")
endfunction()
