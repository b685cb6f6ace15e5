# Shared settings for the dependency build scripts (sourced, not run).
DEPS_CACHE=${DEPS_CACHE:-$HOME/.cache/reelsmith-deps}
DEPS_PREFIX=${DEPS_PREFIX:-$DEPS_CACHE/x86_64-w64-mingw32}
DEPS_SRC=$DEPS_CACHE/src
DEPS_JOBS=${DEPS_JOBS:-$(nproc)}
MINGW_HOST=x86_64-w64-mingw32
MINGW_TOOLCHAIN=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../cmake" && pwd)/mingw-w64-x86_64.cmake
mkdir -p "$DEPS_PREFIX/.stamps" "$DEPS_SRC"
# One dependency build at a time per cache, whoever starts it.
if [ -z "${RS_DEPS_LOCKED:-}" ]; then
  exec 9>"$DEPS_CACHE/.lock"
  flock 9
  export RS_DEPS_LOCKED=1
fi
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY

# Private apt configuration that adds deb-src for the machine's own suites,
# leaving the system's configuration untouched.
_apt_dir=$DEPS_CACHE/apt
_apt_opts=(-o "Dir::Etc::SourceList=$_apt_dir/sources.list" -o "Dir::Etc::SourceParts=/dev/null"
           -o "Dir::State::Lists=$_apt_dir/lists" -o "Dir::Cache=$_apt_dir/cache"
           -o "APT::Sandbox::User=root" -o "Acquire::Retries=3")

_apt_prepare() {
  [ -f "$_apt_dir/.updated" ] && [ -n "$(find "$_apt_dir/.updated" -mmin -1440 2>/dev/null)" ] && return 0
  mkdir -p "$_apt_dir/lists/partial" "$_apt_dir/cache/archives/partial"
  : > "$_apt_dir/sources.list"
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && sed -n 's/^deb \(.*debian.*\)$/deb-src \1/p' "$f" >> "$_apt_dir/sources.list"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN{RS="";FS="\n"} {u="";s="";c="";k=""
         for(i=1;i<=NF;i++){ if($i~/^URIs:/){sub(/^URIs: */,"",$i);u=$i}
           if($i~/^Suites:/){sub(/^Suites: */,"",$i);s=$i}
           if($i~/^Components:/){sub(/^Components: */,"",$i);c=$i}
           if($i~/^Signed-By:/){sub(/^Signed-By: */,"",$i);k=$i} }
         if(u!="" && u ~ /debian/){ n=split(s,ss," "); for(j=1;j<=n;j++){
           printf "deb-src %s%s %s %s\n", (k!=""?"[signed-by=" k "] ":""), u, ss[j], c } } }' "$f" >> "$_apt_dir/sources.list"
  done
  apt-get "${_apt_opts[@]}" update -qq
  touch "$_apt_dir/.updated"
}

# fetch_source PKG: unpacks the newest downloadable version of Debian's source
# package PKG (with Debian's patches applied) under $DEPS_SRC and prints its folder.
fetch_source() {
  local pkg=$1 v dir
  _apt_prepare >&2
  for v in $(apt-cache "${_apt_opts[@]}" showsrc "$pkg" | sed -n 's/^Version: //p' | sort -urV); do
    dir=$DEPS_SRC/$pkg-$v
    if [ -f "$dir/.unpacked" ]; then echo "$dir/src"; return 0; fi
    rm -rf "$dir"; mkdir -p "$dir"
    if (cd "$dir" && apt-get "${_apt_opts[@]}" source -qq --download-only "$pkg=$v" >&2); then
      (cd "$dir" && dpkg-source -x ./*.dsc src >&2) || return 1
      touch "$dir/.unpacked"
      echo "$dir/src"; return 0
    fi
    echo "fetch_source: $pkg $v did not download, trying an older version" >&2
  done
  echo "fetch_source: no version of $pkg could be downloaded" >&2
  return 1
}

# A dependency is rebuilt only when its stamp is missing; the stamp holds the
# source folder it was built from (package and version).
have_stamp() { [ -s "$DEPS_PREFIX/.stamps/$1" ]; }
put_stamp() { echo "$2" > "$DEPS_PREFIX/.stamps/$1"; }
