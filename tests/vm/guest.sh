# Sourced by the scripts of this folder: where the test guest lives and how
# long each stage may take. Every value can be set from the environment.
vm_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cache_root=${ZENTRILO_CACHE:-${XDG_CACHE_HOME:-${HOME:-/root}/.cache}/zentrilo}
debian_mirror=${ZENTRILO_DEBIAN_MIRROR:-http://deb.debian.org/debian}

# Limits in seconds: making the image, booting the guest up to its job,
# running one test program in it, and powering off after the job.
image_limit=${ZENTRILO_VM_IMAGE_TIMEOUT:-2400}
boot_limit=${ZENTRILO_VM_BOOT_TIMEOUT:-240}
run_limit=${ZENTRILO_VM_RUN_TIMEOUT:-900}
poweroff_limit=${ZENTRILO_VM_POWEROFF_TIMEOUT:-60}

# The image is keyed by what goes into it (guest-recipe.sh): a changed recipe
# makes a new one, and an image in place is always complete (made aside, then
# moved into place).
recipe_hash=$(cat "$vm_dir/guest-recipe.sh" "$vm_dir/guest-init" "$vm_dir/provision-guest.sh" \
  "$vm_dir/../wine-prefix.sh" | sha256sum | cut -c1-16)
image_dir=$cache_root/guest-$recipe_hash
image_lock=$cache_root/guest.lock
guest_prefix=/opt/zentrilo/wineprefix
