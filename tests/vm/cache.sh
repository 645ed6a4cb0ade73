# The test VM's cache, sourced by vm-run: Debian's kernel with the modules
# the tests load, busybox, and the base initramfs made of them. Debian
# packages are fetched with apt-get download and unpacked, never installed.
# Callers hold the cache lock and define say, note, fail and no_vm.
#
#   $cache/kernel/   vmlinuz, vmlinux (uncompressed), version, stamp,
#                    lib/modules/<version>/ (only the modules asked for)
#   $cache/busybox/  busybox, version
#   $cache/base-<key>.cpio   the base archive; <key> covers all it holds

# Sets kernel_dir and base_archive.
prepare_cache() {
    local wanted=$1
    kernel_dir=$cache/kernel
    if [ "$(cat "$kernel_dir/stamp" 2>/dev/null)" != "$wanted" ]; then
        fetch_kernel "$wanted"
    fi
    if [ ! -x "$cache/busybox/busybox" ]; then
        fetch_busybox
    fi
    build_base
}

# quote WORD: WORD as one word for sh.
quote() {
    local s=${1//\'/\'\\\'\'}
    printf "'%s'" "$s"
}

is_elf() {
    [ "$(head -c 4 "$1" 2>/dev/null | od -An -c | tr -d ' ')" = '177ELF' ]
}

# Every shared library (and the loader) the ELF files need, one a line.
libraries_of() {
    local f
    for f in "$@"; do
        ldd "$f" 2>/dev/null | awk '$2 == "=>" && $3 ~ /^\// { print $3 } $1 ~ /^\// { print $1 }' || true
    done | LC_ALL=C sort -u
}

# On a merged-/usr host /bin, /lib, ... are links into /usr: the VM gets the
# same links, so that a library lands where the loader looks for it.
link_merged_usr() {
    local d
    for d in bin sbin lib lib64; do
        if [ -L "/$d" ]; then
            mkdir -p "$1/usr/$d"
            ln -sfn "usr/$d" "$1/$d"
        else
            mkdir -p "$1/$d"
        fi
    done
}

# copy_file PATH STAGE: the file behind PATH, at PATH under STAGE.
copy_file() {
    mkdir -p "$2$(dirname "$1")"
    cp --dereference --preserve=mode "$1" "$2$1"
}

# apt_fetch PACKAGE DIR: downloads PACKAGE's .deb into DIR, prints its path.
apt_fetch() {
    # _apt cannot write into a cache folder that belongs to another user.
    (cd "$2" && apt-get download -q -o APT::Sandbox::User=root "$1" >&2) || return 1
    ls "$2"/"$1"_*.deb
}

fetch_kernel() {
    local wanted=$1 package tmp deb root version module
    package=$(apt-cache depends linux-image-amd64 2>/dev/null |
        awk '$1 == "Depends:" && $2 ~ /^linux-image-[0-9]/ { print $2; exit }')
    [ -n "$package" ] || no_vm "apt knows no linux-image-amd64 (run apt-get update)"
    say "fetching $package (once; about 70 MB)"
    tmp=$(mktemp -d "$cache/tmp.XXXXXX")
    deb=$(apt_fetch "$package" "$tmp") || { rm -rf "$tmp"; no_vm "apt-get download $package failed"; }
    root=$tmp/root
    dpkg-deb -x "$deb" "$root"
    rm -f "$deb"
    version=$(basename "$(ls -d "$root"/lib/modules/* | head -n 1)")
    [ -n "$version" ] && [ -f "$root/boot/vmlinuz-$version" ] || fail "$package holds no kernel and modules"
    # The package leaves modules.dep to its postinst.
    depmod -b "$root" "$version" || fail "depmod failed on $package"

    local out=$tmp/kernel
    mkdir -p "$out/lib/modules/$version"
    for module in $wanted; do
        modprobe -d "$root" -S "$version" --show-depends "$module" >>"$tmp/load" ||
            fail "$package has no module $module"
    done
    # "insmod /full/path.ko [params]": keep each module file once, at its place.
    awk '$1 == "insmod" { print $2 }' "$tmp/load" | LC_ALL=C sort -u | while read -r file; do
        local relative=${file#"$root"/lib/modules/"$version"/}
        mkdir -p "$out/lib/modules/$version/$(dirname "$relative")"
        case $file in
        *.ko.xz) xz -dc "$file" >"$out/lib/modules/$version/${relative%.xz}" ;;
        *) cp "$file" "$out/lib/modules/$version/$relative" ;;
        esac
    done
    cp "$root/lib/modules/$version"/modules.builtin* "$root/lib/modules/$version/modules.order" \
        "$out/lib/modules/$version/"
    depmod -b "$out" "$version" || fail "depmod failed on the module subset"

    cp "$root/boot/vmlinuz-$version" "$out/vmlinuz"
    # qemu boots an uncompressed kernel through its PVH entry point, which
    # saves the seconds an emulated CPU spends unpacking the xz image.
    if grep -q '^CONFIG_PVH=y' "$root/boot/config-$version"; then
        unpack_vmlinux "$out/vmlinuz" "$out/vmlinux" || rm -f "$out/vmlinux"
    fi
    echo "$version" >"$out/version"
    echo "$wanted" >"$out/stamp"
    rm -rf "$kernel_dir"
    mv "$out" "$kernel_dir"
    rm -rf "$tmp"
}

# unpack_vmlinux BZIMAGE OUT: the xz stream inside BZIMAGE, decompressed,
# if it is an ELF kernel.
unpack_vmlinux() {
    local offset
    for offset in $(LC_ALL=C grep -obUaP '\xfd7zXZ\x00' "$1" | cut -d: -f1); do
        # xz stops reading at the stream's end, so tail's status says nothing.
        tail -c +$((offset + 1)) "$1" | xz -dc --single-stream >"$2" 2>/dev/null || true
        if is_elf "$2"; then return 0; fi
    done
    return 1
}

fetch_busybox() {
    local tmp deb
    say "fetching busybox-static (once)"
    tmp=$(mktemp -d "$cache/tmp.XXXXXX")
    deb=$(apt_fetch busybox-static "$tmp") || { rm -rf "$tmp"; no_vm "apt-get download busybox-static failed"; }
    dpkg-deb -x "$deb" "$tmp/root"
    mkdir -p "$tmp/busybox"
    cp "$tmp/root/bin/busybox" "$tmp/busybox/busybox"
    dpkg-deb -f "$deb" Version >"$tmp/busybox/version"
    rm -rf "$cache/busybox"
    mv "$tmp/busybox" "$cache/busybox"
    rm -rf "$tmp"
}

# Sets base_archive.
build_base() {
    local tools=() tool libs key stage version
    for tool in amidi aconnect aseqdump; do
        if command -v "$tool" >/dev/null; then tools+=("$(command -v "$tool")"); fi
    done
    mapfile -t libs < <(libraries_of "${tools[@]}")
    key=$({
        cat "$here/cache.sh" "$here/guest/init" "$here/guest/usb-midi-gadget" "$kernel_dir/stamp" \
            "$kernel_dir/version" "$cache/busybox/version"
        stat -L -c '%n %s %Y' "${tools[@]}" "${libs[@]}" /usr/share/alsa/alsa.conf
    } | sha256sum | cut -c 1-16)
    base_archive=$cache/base-$key.cpio
    [ -f "$base_archive" ] && return 0

    note "building the base archive"
    stage=$(mktemp -d "$cache/tmp.XXXXXX")
    link_merged_usr "$stage"
    mkdir -p "$stage"/{dev,proc,sys,run,tmp,root,etc,vm/bin,usr/bin,usr/sbin,usr/share}
    chmod 1777 "$stage/tmp"
    cp "$here/guest/init" "$stage/init"
    cp "$here/guest/usb-midi-gadget" "$stage/vm/bin/"
    version=$(cat "$kernel_dir/version")
    mkdir -p "$stage/lib/modules"
    cp -a "$kernel_dir/lib/modules/$version" "$stage/lib/modules/"
    for tool in "${tools[@]}" "${libs[@]}"; do copy_file "$tool" "$stage"; done
    # libasound reads its configuration before it opens the sequencer.
    mkdir -p "$stage/usr/share/alsa"
    find /usr/share/alsa -mindepth 1 -maxdepth 1 ! -name 'ucm*' ! -name topology \
        -exec cp -a {} "$stage/usr/share/alsa/" \;
    echo 'root:x:0:0:root:/root:/bin/sh' >"$stage/etc/passwd"
    printf 'root:x:0:\naudio:x:29:\n' >"$stage/etc/group"
    cp "$cache/busybox/busybox" "$stage/usr/bin/busybox"
    local applet
    while read -r applet; do
        if [ ! -e "$stage/$applet" ] && [ ! -L "$stage/$applet" ]; then
            mkdir -p "$stage/$(dirname "$applet")"
            ln -s /usr/bin/busybox "$stage/$applet"
        fi
    done < <("$stage/usr/bin/busybox" --list-full | grep -v '^usr/bin/busybox$')
    (cd "$stage" && find . -mindepth 1 | LC_ALL=C sort | cpio -o -H newc -R 0:0 --quiet) >"$stage.cpio"
    rm -f "$cache"/base-*.cpio
    mv "$stage.cpio" "$base_archive"
    rm -rf "$stage"
}
