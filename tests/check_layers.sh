#!/usr/bin/env bash
# The folders build on each other one way; a source may include headers of
# its own folder and of the folders below it only:
#
#   app/       on dial/, settings/, platform/, uilib/, res/
#   dial/      on platform/, uilib/, res/
#   settings/  on uilib/, res/
#   platform/  on uilib/
#   uilib/     on res/
#   rassim/    on platform/ (the simulator shares only the RAS records)
#
# A header is found where it lives, whichever way the include names it
# ("../app/app.h" or "app.h" through the include path), so no name slips by.
#
#   check_layers.sh ROOT
set -u
root=$1
declare -A below=(
  [app]="dial settings platform uilib res"
  [dial]="platform uilib res"
  [settings]="uilib res"
  [platform]="uilib"
  [uilib]="res"
  [rassim]="platform"
)
folders="app dial settings platform uilib res rassim"
bad=0
for folder in "${!below[@]}"; do
  for file in "$root/$folder"/*.cpp "$root/$folder"/*.h; do
    [ -f "$file" ] || continue
    while IFS= read -r name; do
      base=${name##*/}
      home=
      for f in $folders; do [ -f "$root/$f/$base" ] && home=$f; done
      [ -f "$root/$folder/$base" ] && home=$folder
      # Generated headers (version.h) and the system's live elsewhere.
      [ -n "$home" ] && [ "$home" != "$folder" ] || continue
      case " ${below[$folder]} " in
        *" $home "*) ;;
        *) echo "${file#"$root"/}: includes $name, from $home/, which is not below $folder/"; bad=1 ;;
      esac
    # <...> with a folder (<sys/resource.h>) is the system's.
    done < <(sed -n -e 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' \
      -e 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*<\([^/>]*\)>.*/\1/p' "$file")
  done
done
[ "$bad" = 0 ] && echo "the folders build on each other one way"
exit "$bad"
