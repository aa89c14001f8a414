# The options Debian builds libvncserver with (debian/rules, and what the build
# dependencies make CMake find), for libvncclient alone: a static, position-independent
# library, no examples, no tests, no install.
set(TN_VNCCLIENT_OPTIONS
  -DBUILD_SHARED_LIBS=OFF
  -DCMAKE_POSITION_INDEPENDENT_CODE=ON
  -DLIBVNCSERVER_INSTALL=OFF
  -DWITH_GNUTLS=ON -DWITH_GCRYPT=ON -DWITH_SASL=ON
  -DWITH_JPEG=ON -DWITH_ZLIB=ON -DWITH_LZO=ON
  -DWITH_THREADS=ON -DWITH_IPv6=ON -DWITH_24BPP=ON
  -DWITH_OPENSSL=OFF -DWITH_PNG=OFF -DWITH_SDL=OFF -DWITH_GTK=OFF -DWITH_FFMPEG=OFF
  -DWITH_LIBSSH2=OFF -DWITH_SYSTEMD=OFF -DWITH_EXAMPLES=OFF -DWITH_TESTS=OFF)

# The features whose absence the configure step refuses. SASL, zlib and JPEG add or
# remove fields of rfbClient before readTimeout, so a library built without one of them
# would not match the struct our code compiles against; without GnuTLS and gcrypt the
# TLS and VeNCrypt security types would silently vanish.
set(TN_VNCCLIENT_REQUIRED
  "LIBVNCSERVER_HAVE_SASL=SASL"
  "LIBVNCSERVER_HAVE_LIBZ=zlib"
  "LIBVNCSERVER_HAVE_LIBJPEG=JPEG"
  "LIBVNCSERVER_HAVE_GNUTLS=GnuTLS"
  "LIBVNCSERVER_HAVE_LIBGCRYPT=gcrypt")

# The client's public headers, staged with the generated rfbconfig.h into a directory
# of their own, so that nothing else of the source tree is on the include path.
set(TN_VNCCLIENT_HEADERS rfbclient.h rfbproto.h keysym.h threading.h)
