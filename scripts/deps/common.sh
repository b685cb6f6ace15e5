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
  # Every enabled binary source of the machine, whatever its mirror is called.
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && sed -n 's/^[[:space:]]*deb[[:space:]]\+\(.*\)$/deb-src \1/p' "$f" >> "$_apt_dir/sources.list"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    awk 'BEGIN{RS="";FS="\n"} {u="";s="";c="";k="";t="";e="yes"
         for(i=1;i<=NF;i++){ if($i~/^Types:/){t=$i}
           if($i~/^Enabled:/){sub(/^Enabled: */,"",$i);e=tolower($i)}
           if($i~/^URIs:/){sub(/^URIs: */,"",$i);u=$i}
           if($i~/^Suites:/){sub(/^Suites: */,"",$i);s=$i}
           if($i~/^Components:/){sub(/^Components: */,"",$i);c=$i}
           if($i~/^Signed-By:/){sub(/^Signed-By: */,"",$i);k=$i} }
         if(u!="" && t ~ /(^|[ :])deb( |$)/ && e!="no"){ n=split(s,ss," "); m=split(u,uu," ")
           for(x=1;x<=m;x++) for(j=1;j<=n;j++)
             printf "deb-src %s%s %s %s\n", (k!=""?"[signed-by=" k "] ":""), uu[x], ss[j], c } }' "$f" >> "$_apt_dir/sources.list"
  done
  sort -u -o "$_apt_dir/sources.list" "$_apt_dir/sources.list"
  apt-get "${_apt_opts[@]}" update -qq
  touch "$_apt_dir/.updated"
}

# source_version PKG: the newest version of Debian's source package PKG that the
# machine's sources offer (empty when the lists cannot be had).
source_version() {
  _apt_prepare >&2 || return 0
  local v
  for v in $(apt-cache "${_apt_opts[@]}" showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -urV); do
    _unavailable "$1" "$v" || { echo "$v"; return 0; }
  done
}

# A version whose download failed lately is passed over for a day.
_unavailable() { [ -n "$(find "$DEPS_SRC/$1-$2.unavailable" -mmin -1440 2>/dev/null)" ]; }

# fetch_source PKG: unpacks the newest downloadable version of Debian's source
# package PKG (with Debian's patches applied) under $DEPS_SRC and prints its folder.
fetch_source() {
  local pkg=$1 v dir
  _apt_prepare >&2
  for v in $(apt-cache "${_apt_opts[@]}" showsrc "$pkg" | sed -n 's/^Version: //p' | sort -urV); do
    dir=$DEPS_SRC/$pkg-$v
    if [ ! -f "$dir/.unpacked" ] && _unavailable "$pkg" "$v"; then continue; fi
    if [ -f "$dir/.unpacked" ]; then echo "$dir/src"; return 0; fi
    rm -rf "$dir"; mkdir -p "$dir"
    if (cd "$dir" && apt-get "${_apt_opts[@]}" source -qq --download-only "$pkg=$v" >&2); then
      (cd "$dir" && dpkg-source -x ./*.dsc src >&2) || return 1
      touch "$dir/.unpacked"
      echo "$dir/src"; return 0
    fi
    rm -rf "$dir"; touch "$DEPS_SRC/$pkg-$v.unavailable"
    echo "fetch_source: $pkg $v did not download, trying an older version" >&2
  done
  echo "fetch_source: no version of $pkg could be downloaded" >&2
  return 1
}

# A dependency is rebuilt when its stamp is missing or names another version
# of its source package than the newest one offered now (an update rebuilds
# it); without package lists the existing build is kept.
# have_stamp NAME [SOURCE_PACKAGE]
have_stamp() {
  [ -s "$DEPS_PREFIX/.stamps/$1" ] || return 1
  [ -n "${2:-}" ] || return 0
  local v; v=$(source_version "$2")
  [ -z "$v" ] && return 0
  [ "$(cat "$DEPS_PREFIX/.stamps/$1")" = "$2-$v" ]
}
put_stamp() { echo "$2" > "$DEPS_PREFIX/.stamps/$1"; }
