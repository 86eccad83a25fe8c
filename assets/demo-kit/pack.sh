#!/usr/bin/env bash
# Packs the demo kit with the given tkx into OUTPUT (qbx4.tkx beside tplsetup).
#   pack.sh TKX OUTPUT
set -euo pipefail
tkx=$1
out=$2
here=$(cd "$(dirname "$0")" && pwd)
"$tkx" pack -o "$out" \
  --lang en --product "Demo configuration templates" --vendor "Sample Vendor" --description README.txt \
  --lang de --product "Demo-Konfigurationsvorlagen" --vendor "Beispielanbieter" --description README.txt \
  --lang ru --product "Демонстрационные шаблоны конфигурации" --vendor "Пример поставщика" --description README.txt \
  --lang ka --product "საჩვენებელი კონფიგურაციის შაბლონები" --vendor "სანიმუშო მომწოდებელი" --description README.txt \
  "$here/tree"
