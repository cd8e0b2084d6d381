#!/usr/bin/env bash
# The built client in a real X window (Xvfb) on a copy of the demo database:
# sign in, then by the keyboard alone: Insert, pick a worker and a priced operation
# from their lists, type quantity, rejects and hours, save. Screenshots of the filled
# entry dialog and of the journal after the save land in the output folder.
#   smoke_entry_shots.sh CLIENT OUTPUT_DIR   (PG* variables point at the test server)
set -euo pipefail
bin=${1:?client binary}; out=${2:?output folder}
mkdir -p "$out"
. "$(dirname "$0")/x11_client.sh"
db=t_shots_entry
copy_demo_db "$db"
start_x11
start_client "$bin" "$db"

keys() { xdotool key --delay 80 "$@"; sleep 0.4; }

signin=$(wait_window 'Авторизация')
xdotool windowfocus --sync "$signin"
xdotool type --delay 40 '9471'
keys Return
journal=$(wait_window '^Табель$')
sleep 0.8
xdotool windowfocus --sync "$journal"
keys Insert                         # "Добавить" from the grid, which has the focus
dialog=$(wait_window 'Заведение новой позиции')
xdotool windowfocus --sync "$dialog"
sleep 0.4
keys F4                             # the worker's field has the focus
workers=$(wait_window 'Список рабочих')
xdotool windowfocus --sync "$workers"
xdotool type --delay 60 'Ив'
keys Down Return                    # second of the matches, "Выбрать"; on to the operation
xdotool windowfocus --sync "$dialog"
keys F4
opers=$(wait_window '^Операции$')
xdotool windowfocus --sync "$opers"
xdotool type --delay 60 '100'
keys Return                         # on to the quantity, its "0" selected
xdotool windowfocus --sync "$dialog"
xdotool type --delay 60 '120'
keys Tab                            # rejects
xdotool type --delay 60 '3'
keys Tab                            # hours
xdotool type --delay 60 '8'
sleep 0.5
import -window root "$out/entry_dialog_filled.png"
keys Return                         # "Запись" (Enter in the hours)
sleep 1.2
import -window root "$out/journal_after_save.png"
psql -X -q -At -d "$db" -c "select s.id, s.w_id, s.o_id, s.cena::text, s.kol_vo, s.brak, s.time, s.ok, s.data
  from accounts_dep.smena s order by id desc limit 1" | tee "$out/saved_entry.txt"
# The worker's day in the timesheet equals the day's total hours of the journal.
psql -X -q -At -d "$db" -c "select 'h_tabel d' || extract(day from s.data) || ' = ' ||
  (select (to_jsonb(h) ->> ('d' || extract(day from s.data)::int)) from accounts_dep.h_tabel h
    where h.w_id = s.w_id and h.smena = s.smena and h.month = extract(month from s.data) and h.year = extract(year from s.data)),
  'hours of the day = ' || (select sum(time) from accounts_dep.smena t where t.w_id = s.w_id and t.smena = s.smena and t.data = s.data)
  from accounts_dep.smena s order by id desc limit 1" | tee -a "$out/saved_entry.txt"
kill -0 "$app"
