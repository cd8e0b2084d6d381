#!/usr/bin/env bash
# The built client in a real X window (Xvfb) on a copy of the demo database:
# sign in, "Добавить", pick a worker and a priced operation from their lists with
# the keyboard, type quantity, rejects and hours, save. Screenshots of the filled
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
# "Добавить": the first of the journal's bottom buttons.
eval "$(xdotool getwindowgeometry --shell "$journal")"
xdotool mousemove --window "$journal" 60 $((HEIGHT - 20)) click 1
dialog=$(wait_window 'Заведение новой позиции')
xdotool windowfocus --sync "$dialog"
sleep 0.4
keys space                          # the worker picker button has the focus
workers=$(wait_window 'Список рабочих')
xdotool windowfocus --sync "$workers"
xdotool type --delay 60 'Ив'
keys Down Return                    # second of the matches, "Выбрать"
xdotool windowfocus --sync "$dialog"
keys Tab space                      # the operation picker
opers=$(wait_window '^Операции$')
xdotool windowfocus --sync "$opers"
xdotool type --delay 60 '100'
keys Return
xdotool windowfocus --sync "$dialog"
keys Tab Tab                        # quantity
xdotool type --delay 60 '120'
keys Tab BackSpace                  # hours
xdotool type --delay 60 '8'
keys Tab                            # leaving the hours recomputes the displays
# Rejects: the field right of the quantity (the date picker takes Tab for its sections).
xdotool mousemove --window "$dialog" 360 106 click 1
sleep 0.3
keys End BackSpace
xdotool type --delay 60 '3'
sleep 0.5
import -window root "$out/entry_dialog_filled.png"
keys Return                         # "Запись"
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
