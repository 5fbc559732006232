# Builds for the Debian architecture that DEB_HOST_ARCH names (arm64, armhf, s390x ...)
# with Debian's cross compiler for it, against that architecture's libraries installed
# beside this machine's own (Debian's multiarch). The programs are foreign here: they
# run where the kernel runs them, itself or through an emulator registered with
# binfmt_misc, which reaches every program the tests start, the game included.
set(arch $ENV{DEB_HOST_ARCH})
if(NOT arch)
  message(FATAL_ERROR "Set DEB_HOST_ARCH to the Debian architecture to build for")
endif()
foreach(variable GNU_TYPE MULTIARCH GNU_CPU)
  execute_process(COMMAND dpkg-architecture -a${arch} -qDEB_HOST_${variable}
                  OUTPUT_VARIABLE ${variable} OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
endforeach()

set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${GNU_CPU})
# The compiler is named for the GNU triplet, the libraries' directory for Debian's
# multiarch name; the two differ on i386 (i686-linux-gnu, i386-linux-gnu).
set(CMAKE_CXX_COMPILER ${GNU_TYPE}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${MULTIARCH})
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${MULTIARCH}/pkgconfig:/usr/share/pkgconfig)
