#!/usr/bin/env bash
# Personal accounts (db/roles.sql) on a PostgreSQL server of its own, since roles
# belong to the whole server: what each group's login may do to each table, the
# bypasses of the month lock and of the history refused to everyone (the code
# sign-in's user sys included), the person functions, closing and reopening, the
# history's hash chain under concurrent writers and against its owner, and
# db/roles_drop.sql putting the catalog back as it was. Prints FAIL lines and ends
# non-zero on any mismatch.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
pg=$(mktemp -d /tmp/mirn-roles.XXXXXX)
work=$(mktemp -d /tmp/mirn-roles-work.XXXXXX)
cleanup() {
  jobs -p | xargs -r kill 2>/dev/null
  "$root/scripts/pg.sh" stop "$pg"
  rm -rf "$work"
}
trap cleanup EXIT
"$root/scripts/pg.sh" start "$pg" || exit 1
# shellcheck disable=SC1091
. "$pg/env"
db=t_roles
"$root/scripts/pg.sh" createdb "$pg" "$db" demo || exit 1

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }
check() {  # check WHAT GOT WANTED
  if [ "$2" == "$3" ]; then ok "$1"; else fail "$1: got '$2', wanted '$3'"; fi
}

# The superuser over the socket; the persons over TCP with their passwords
# (the server asks scram-sha-256 there); sys as the client connects.
su_sql() { psql -X -q -At -v ON_ERROR_STOP=1 -h "$pg" -U postgres -d "$db" "$@"; }
as_sql() {  # as_sql LOGIN PASSWORD psql-args...
  local login=$1 password=$2; shift 2
  PGPASSWORD=$password psql -X -q -At -v ON_ERROR_STOP=1 -h 127.0.0.1 -U "$login" -d "$db" "$@"
}
sys_sql() { as_sql sys "$PGPASSWORD" "$@"; }
admin_sql() { as_sql admin1 'admin-pass-1' "$@"; }

snapshot() {  # the definitions, the roles and who is in which, the database's owner
  # (without the random key pg_dump puts around its output)
  pg_dump -h "$pg" -U postgres -s "$db" | grep -Ev '^\\(un)?restrict '
  su_sql -c "select rolname, rolsuper, rolinherit, rolcreaterole, rolcreatedb, rolcanlogin, rolreplication,
                    rolbypassrls from pg_roles order by 1" \
         -c "select roleid::regrole, member::regrole, admin_option from pg_auth_members order by 1, 2" \
         -c "select datdba::regrole from pg_database where datname = current_database()"
}

sys_sql -f "$root/db/extension.sql" >/dev/null || { echo "FAIL: extension.sql"; exit 1; }
snapshot >"$work/before"

# --- install, twice ---------------------------------------------------------
su_sql -f "$root/db/roles.sql" >"$work/install1" 2>&1 || { cat "$work/install1"; echo "FAIL: roles.sql"; exit 1; }
snapshot >"$work/installed"
su_sql -f "$root/db/roles.sql" >"$work/install2" 2>&1 || { cat "$work/install2"; echo "FAIL: roles.sql, second run"; exit 1; }
snapshot >"$work/installed2"
if cmp -s "$work/installed" "$work/installed2"; then ok "second run of roles.sql changes nothing"
else fail "second run of roles.sql changed the catalog:"; diff "$work/installed" "$work/installed2" | head -20; fi
check "roles.sql quiet" "$(cat "$work/install1" "$work/install2")" ""
check "schema versions" "$(su_sql -c "select string_agg(component || '=' || version, ' ' order by component) from accounts_dep.schema_version")" \
      "extension=2 payroll_export=1 roles=1"
if su_sql -f "$root/db/extension_drop.sql" >"$work/extdrop" 2>&1; then fail "extension_drop.sql ran under roles.sql"
else check "extension_drop.sql refused under roles.sql" "$(grep -c 'run db/roles_drop.sql first' "$work/extdrop")" 1; fi

# --- one person per group, made through the functions by the database administrator ---
su_sql -c "select accounts_dep.person_create('viewer1', 'Смотров Виктор Петрович', 'mirn_viewer', 'viewer-pass-1')" \
        -c "select accounts_dep.person_create('foremen1', 'Бригадиров Борис Борисович', 'mirn_foremen', 'foremen-pass-1')" \
        -c "select accounts_dep.person_create('goods1', 'Складова Галина Ивановна', 'mirn_goods', 'goods-pass-1')" \
        -c "select accounts_dep.person_create('admin1', 'Админов Алексей Ильич', 'mirn_admin', 'admin-pass-1')" \
        -c "select accounts_dep.person_create('spare1', 'Запасной Захар Захарович', 'mirn_viewer', 'spare-pass-1')" >/dev/null \
  || { echo "FAIL: person_create"; exit 1; }
check "passwords stored as SCRAM" \
      "$(su_sql -c "select count(*) from pg_authid where rolname in ('viewer1','foremen1','goods1','admin1','spare1') and rolpassword like 'SCRAM-SHA-256\$%'")" 5
check "account list" "$(admin_sql -c "select string_agg(login || ':' || grp || ':' || enabled, ' ' order by login) from accounts_dep.account_list")" \
      "admin1:mirn_admin:true foremen1:mirn_foremen:true goods1:mirn_goods:true spare1:mirn_viewer:true viewer1:mirn_viewer:true"

# --- fixture: rows nothing refers to, in an open month ------------------------
read -r I I2 O O2 VID VID2 N E H F P NOM < <(su_sql -F ' ' -c "
  with g as (insert into cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa, id_class_item)
             values ('ТЕСТ-ПРАВА', '', 6, 1, (select min(id) from cmn_classifier.item where id_level = 2)) returning id),
       g2 as (insert into cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa, id_class_item)
             values ('ТЕСТ-УДАЛЕНИЕ', '', 6, 1, null) returning id),
       v as (insert into accounts_dep.vid_oper(vid) values ('Проверка прав') returning id),
       v2 as (insert into accounts_dep.vid_oper(vid) values ('Удаляемая') returning id),
       o as (insert into accounts_dep.oper(vid, naimen, i_id, cena_new) select v.id, 0, g.id, 0 from v, g returning id),
       o2 as (insert into accounts_dep.oper(vid, naimen, i_id, cena_new) select v.id, 1, g.id, 0 from v, g returning id),
       n as (insert into accounts_dep.norm(o_id, norma, prize, price) select id, 10, 0, 2.5 from o returning id),
       e as (insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, vvod, ok, prize)
             select 10001, g.id, o.id, 2.5, 10, 0, date '2031-03-10', 1, 0, 8, now(), 'no', 0 from g, o returning id),
       h as (insert into accounts_dep.h_tabel(w_id, month, year, smena, d10) values (10001, 3, 2031, 1, 8) returning id),
       f as (insert into accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price)
             values ((select min(id) from cmn_classifier.item where id_level = 2), 7777, 10001, date '2031-03-10', 3, 2031, 1, 4, 150)
             returning id),
       p as (insert into accounts_dep.person(fio, s_staffpos_hl) values ('Удаляемый У.У.', '') returning id)
  select g.id, g2.id, o.id, o2.id, v.id, v2.id, n.id, e.id, h.id, f.id, p.id,
         (select min(id) from cmn_classifier.item where id_level = 2)
    from g, g2, o, o2, v, v2, n, e, h, f, p")
[ -n "${NOM:-}" ] || { echo "FAIL: fixture"; exit 1; }

# --- the matrix ----------------------------------------------------------------
# Each statement runs in a subtransaction that is rolled back. Y: it ran; N: refused
# for want of a privilege (SQLSTATE 42501); any other code: refused with that code.
# Columns: viewer, foremen, finished goods, administrator, and sys (the code sign-in: an
# administrator, but not for the accounts, since every old client carries its password).
cat >"$work/matrix" <<EOF
smena select                  | Y Y Y Y Y | select count(*) from accounts_dep.smena
smena insert                  | N Y N Y Y | insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, vvod,ok, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values(10001, $I, $O, 2.5,3, 0, to_date('12.03.2031', 'DD.MM.YYYY HH24:MI:SS'), 1, 0, 4, '12.03.2031', 'no', 0, 0, 0, 0, 0, 0)
smena insert confirmed        | N N N Y Y | insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok) values (10001, $I, $O, 2.5, 3, 0, date '2031-03-12', 1, 0, 4, 'ok')
smena insert hidden (ok null) | N N N Y Y | insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time) values (10001, $I, $O, 2.5, 3, 0, date '2031-03-12', 1, 0, 4)
smena update                  | N N N Y Y | update accounts_dep.SMENA set w_id=10001, i_id=$I, o_id=$O, cena=2.5, kol_vo=11, brak=0, data=to_date('10.03.2031', 'DD.MM.YYYY'), smena=1, color=0, time=8, vvod='12.03.2031', prize=0, id_doc=0, id_doc_item=0, f_gds_qty_use=0, id_gds_use=0, id_cons_use=0 where id=$E
smena update ok (confirm)     | N N Y Y Y | update accounts_dep.smena set ok='ok' where id=$E
smena update ok to null       | N N N Y Y | update accounts_dep.smena set ok=null where id=$E
smena update kol_vo           | N N N Y Y | update accounts_dep.smena set kol_vo=500 where id=$E
smena update id               | N N N N N | update accounts_dep.smena set id=id where id=$E
smena delete                  | N N N Y Y | delete from accounts_dep.smena where id=$E
smena truncate                | N N N N N | truncate accounts_dep.smena
h_tabel select                | N Y N Y Y | select count(w_id) as cnt from accounts_dep.h_tabel where w_id=10001 and smena=1 and month=3 and year=2031
h_tabel insert                | N Y N Y Y | insert into accounts_dep.h_tabel(smena, w_id, month, year, d12) values(1, 10002, 3, 2031, 4)
h_tabel update day            | N Y N Y Y | update accounts_dep.h_tabel set d10=9 where w_id=10001 and smena=1 and month=3 and year=2031
h_tabel update month          | N N N N N | update accounts_dep.h_tabel set month=4 where id=$H
h_tabel delete                | N N N Y Y | delete from accounts_dep.h_tabel where month=3 and year=2031
h_tabel truncate              | N N N N N | truncate accounts_dep.h_tabel
fatigue select                | Y Y Y Y Y | select count(*) from accounts_dep.fatigue
fatigue insert                | Y Y Y Y Y | INSERT INTO accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price)VALUES($NOM, 7777 ,10001, '11.03.2031', 3, 2031, 1, 8, 150)
fatigue update                | Y Y Y Y Y | UPDATE accounts_dep.fatigue SET id_nom=$NOM, id_o=7778, id_p=10001, cnt=6, price=150 where id=$F
fatigue update date           | N N N N N | update accounts_dep.fatigue set d_date=date '2031-04-01', i_mnth=4 where id=$F
fatigue delete                | Y Y Y Y Y | delete from accounts_dep.fatigue where id=$F
fatigue truncate              | N N N N N | truncate accounts_dep.fatigue
oper select                   | Y Y Y Y Y | select count(*) from accounts_dep.oper
oper insert                   | N N N Y Y | insert into accounts_dep.oper(vid, naimen, i_id, cena_new)values ($VID, 1, $I, 0) returning id
oper update                   | N N N Y Y | update accounts_dep.oper set vid=$VID, naimen=1,  i_id=$I where id=$O2
oper update stored price      | N N N N N | update accounts_dep.oper set cena_new=9 where id=$O2
oper delete                   | N N N Y Y | delete from accounts_dep.oper where id=$O2
oper truncate                 | N N N N N | truncate accounts_dep.oper cascade
norm select                   | Y Y Y Y Y | select count(*) from accounts_dep.norm
norm insert                   | N N N Y Y | insert into accounts_dep.norm(o_id, norma, prize, price) values($O, 5, 0, 3) returning id
norm update                   | N N N Y Y | update accounts_dep.norm set o_id=$O, norma=12, prize=0, price=2.75 where id=$N
norm delete                   | N N N Y Y | delete from accounts_dep.norm where id=$N
norm truncate                 | N N N N N | truncate accounts_dep.norm
vid_oper select               | Y Y Y Y Y | select count(*) from accounts_dep.vid_oper
vid_oper insert               | N N N Y Y | insert into accounts_dep.vid_oper(vid) values('Новая')
vid_oper update               | N N N Y Y | update accounts_dep.vid_oper set vid='Другая' where id=$VID
vid_oper delete               | N N N Y Y | delete from accounts_dep.vid_oper where id=$VID2
vid_oper truncate             | N N N N N | truncate accounts_dep.vid_oper cascade
person select                 | Y Y Y Y Y | select count(*) from accounts_dep.person
person insert                 | N N N Y Y | INSERT INTO accounts_dep.person (fio, s_staffpos_hl)VALUES('Новый Н.Н.', '') returning id
person update                 | N N N Y Y | UPDATE accounts_dep.person SET fio='Другой Д.Д.', s_staffpos_hl='' where accounts_dep.person.id=$P returning id
person delete                 | N N N Y Y | delete from accounts_dep.person where id =$P
person truncate               | N N N N N | truncate accounts_dep.person cascade
izdel select                  | Y Y Y Y Y | select count(*) from accounts_dep.izdel
gds_and_srv select            | N N N Y Y | select count(*) from cmn_gds_and_srv.gds_and_srv
gds_and_srv insert            | N N N Y Y | INSERT INTO cmn_gds_and_srv.gds_and_srv(s_caption, s_description, id_msm_bs, massa, id_class_item)VALUES('НОВОЕ', '', 6, 1, $NOM)
gds_and_srv update            | N N N Y Y | UPDATE cmn_gds_and_srv.gds_and_srv SET s_caption='ТЕСТ-2', s_description='', id_msm_bs=6, massa=2, id_class_item=$NOM where id=$I
gds_and_srv delete            | N N N Y Y | delete from cmn_gds_and_srv.gds_and_srv  where id=$I2
gds_and_srv truncate          | N N N N N | truncate cmn_gds_and_srv.gds_and_srv cascade
contractor.person select      | Y Y Y Y Y | select count(*) from cmn_contractor.person
contractor.person insert      | N N N N N | insert into cmn_contractor.person(s_caption, s_code) values ('Х', '1')
contractor.person update      | N N N N N | update cmn_contractor.person set s_caption='Х' where id=1
contractor.person delete      | N N N N N | delete from cmn_contractor.person where id=1500
classifier.item select        | Y Y Y Y Y | select count(*) from cmn_classifier.item
classifier.item insert        | N N N N N | insert into cmn_classifier.item(s_caption) values ('Х')
staffpos select               | N N N Y Y | select * from hrms_staffpos.staffpos
department select             | N N N Y Y | select * from cmn_department.department
adm_role.roles select         | N N N Y Y | select * from adm_role.roles order by id
ver select                    | Y Y Y Y Y | select d, t, delim from accounts_dep.ver limit 1
ver insert                    | Y Y Y Y Y | insert into accounts_dep.ver(d, t, delim) values(20990101, 1, '')
ver update stamp              | Y Y Y Y Y | update accounts_dep.ver set d=20990101, t=1 where ctid=(select ctid from accounts_dep.ver limit 1)
ver update delim              | N N N N N | update accounts_dep.ver set delim=','
ver delete                    | N N N N N | delete from accounts_dep.ver
ver truncate                  | N N N N N | truncate accounts_dep.ver
period_lock select            | Y Y Y Y Y | select count(*) from accounts_dep.period_lock
period_lock insert            | N N N N N | insert into accounts_dep.period_lock(year, month, closed_by) values (2031, 3, 'Администратор')
period_lock update            | N N N N N | update accounts_dep.period_lock set closed_by='кто-то', closed_at=now()
period_lock delete            | N N N N N | delete from accounts_dep.period_lock
period_lock truncate          | N N N N N | truncate accounts_dep.period_lock
change_log select             | Y Y Y Y Y | select count(*) from accounts_dep.change_log
change_log insert             | N N N N N | insert into accounts_dep.change_log(table_name, row_id, action, db_user) values ('smena', 1, 'delete', 'кто-то')
change_log update             | N N N N N | update accounts_dep.change_log set db_user='кто-то'
change_log delete             | N N N N N | delete from accounts_dep.change_log
change_log truncate           | N N N N N | truncate accounts_dep.change_log
change_log_head select        | N N N N N | select * from accounts_dep.change_log_head
change_log_head update        | N N N N N | update accounts_dep.change_log_head set last_hash=null
account select                | Y Y Y Y Y | select login, full_name from accounts_dep.account
account insert                | N N N N N | insert into accounts_dep.account(login, full_name, grp) values ('sys', 'Х', 'mirn_admin')
account update                | N N N N N | update accounts_dep.account set full_name='Х'
account delete                | N N N N N | delete from accounts_dep.account
account_list select           | Y Y Y Y Y | select * from accounts_dep.account_list
schema_version select         | Y Y Y Y Y | select component, version from accounts_dep.schema_version
schema_version update         | N N N N N | update accounts_dep.schema_version set version=2
roles_undo select             | N N N N N | select * from accounts_dep.roles_undo
disable month lock trigger    | N N N N N | alter table accounts_dep.smena disable trigger period_lock_guard
disable history trigger       | N N N N N | alter table accounts_dep.smena disable trigger change_log_record
disable all triggers          | N N N N N | alter table accounts_dep.fatigue disable trigger all
disable chain trigger         | N N N N N | alter table accounts_dep.change_log disable trigger change_log_chain
set session_replication_role  | N N N N N | set session_replication_role = replica
set role mirn_owner           | N N N N N | set role mirn_owner
grant oneself mirn_owner      | N N N N N | grant mirn_owner to current_user
grant oneself mirn_admin      | N N N N N | grant mirn_admin to current_user
create a function             | N N N N N | create function accounts_dep.f() returns integer language sql as 'select 1'
create a table in public      | N N N N N | create table public.t(i integer)
create a trigger              | N N N N N | create trigger t before insert on accounts_dep.smena for each row execute function accounts_dep.period_lock_guard()
take a table over             | N N N N N | alter table accounts_dep.change_log owner to current_user
drop the history              | N N N N N | drop table accounts_dep.change_log
drop a guard                  | N N N N N | drop function accounts_dep.period_lock_guard() cascade
create a role                 | N N N N N | create role intruder superuser login
close_month                   | N N N Y Y | select accounts_dep.close_month(2031, 5, 'Сдан')
close_month, no reason        | N N N Y Y | select accounts_dep.close_month(2031, 5, '')
close_month, no such month    | N N N 22023 22023 | select accounts_dep.close_month(2031, 13, '')
reopen_month                  | N N N Y Y | select accounts_dep.reopen_month(2031, 5, 'Исправление')
reopen_month, no reason       | N N N 22023 22023 | select accounts_dep.reopen_month(2031, 5, ' ')
verify_change_log             | N N N Y Y | select accounts_dep.verify_change_log()
payroll_export select         | N N N N N | select * from accounts_dep.payroll_export
payroll_export insert         | N N N N N | insert into accounts_dep.payroll_export(year, month, file_name, sha256, row_count, totals) values (2031, 5, 'x', 'y', 1, '')
payroll export of open month  | ML002 ML002 ML002 ML002 ML002 | select accounts_dep.payroll_export_record(2031, 5, 'x.csv', 'y', 1, '')
person_create                 | N N N Y N | select accounts_dep.person_create('new_person', 'Новиков Н.Н.', 'mirn_viewer', 'new-pass-12')
person_create into mirn_owner | N N N 22023 N | select accounts_dep.person_create('new_person', 'Х', 'mirn_owner', 'new-pass-12')
person_create into postgres   | N N N 22023 N | select accounts_dep.person_create('new_person', 'Х', 'postgres', 'new-pass-12')
person_create into mirn_accounts | N N N 22023 N | select accounts_dep.person_create('new_person', 'Х', 'mirn_accounts', 'new-pass-12')
person_create into pg_read_all_data | N N N 22023 N | select accounts_dep.person_create('new_person', 'Х', 'pg_read_all_data', 'new-pass-12')
person_create login postgres  | N N N 22023 N | select accounts_dep.person_create('postgres', 'Х', 'mirn_viewer', 'new-pass-12')
person_create login mirn_owner | N N N 22023 N | select accounts_dep.person_create('mirn_owner', 'Х', 'mirn_viewer', 'new-pass-12')
person_create login sys       | N N N 22023 N | select accounts_dep.person_create('sys', 'Х', 'mirn_viewer', 'new-pass-12')
person_create existing login  | N N N 42710 N | select accounts_dep.person_create('foremen1', 'Х', 'mirn_viewer', 'new-pass-12')
person_create odd login       | N N N 22023 N | select accounts_dep.person_create('x"; alter role sys superuser; --', 'Х', 'mirn_viewer', 'new-pass-12')
person_create short password  | N N N 22023 N | select accounts_dep.person_create('new_person', 'Х', 'mirn_viewer', 'short')
person_create MD5 password    | N N N 22023 N | select accounts_dep.person_create('new_person', 'Х', 'mirn_viewer', 'md5' || md5('x'))
person_create no full name    | N N N 22023 N | select accounts_dep.person_create('new_person', '  ', 'mirn_viewer', 'new-pass-12')
person_set_group              | N N N Y N | select accounts_dep.person_set_group('spare1', 'mirn_goods')
person_set_group mirn_owner   | N N N 22023 N | select accounts_dep.person_set_group('spare1', 'mirn_owner')
person_set_group of sys       | N N N 22023 N | select accounts_dep.person_set_group('sys', 'mirn_viewer')
person_set_group of postgres  | N N N 22023 N | select accounts_dep.person_set_group('postgres', 'mirn_viewer')
person_set_group oneself      | N N N 22023 N | select accounts_dep.person_set_group(session_user, 'mirn_viewer')
person_disable                | N N N Y N | select accounts_dep.person_disable('spare1')
person_disable oneself        | N N N 22023 N | select accounts_dep.person_disable(session_user)
person_disable sys            | N N N 22023 N | select accounts_dep.person_disable('sys')
person_enable                 | N N N Y N | select accounts_dep.person_enable('spare1')
person_enable mirn_owner      | N N N 22023 N | select accounts_dep.person_enable('mirn_owner')
person_set_password           | N N N Y N | select accounts_dep.person_set_password('spare1', 'spare-pass-2')
person_set_password of sys    | N N N 22023 N | select accounts_dep.person_set_password('sys', 'known-pass-1')
person_set_password of postgres | N N N 22023 N | select accounts_dep.person_set_password('postgres', 'known-pass-1')
EOF

# A runner per login: the statements as one list, each tried in a subtransaction.
{
  echo "create function pg_temp.try(stmt text) returns text language plpgsql as \$try\$
begin
    begin
        execute stmt;
        raise exception using errcode = 'ZZ999';
    exception
        when sqlstate 'ZZ999' then return 'Y';
        when insufficient_privilege then return 'N';
        when others then return sqlstate || ' ' || sqlerrm;
    end;
end
\$try\$;"
  echo "select n || '|' || pg_temp.try(s) from (values"
  sep=""
  nr=0
  while IFS='|' read -r name _ stmt; do
    nr=$((nr + 1))
    name=${name%"${name##*[! ]}"}
    stmt=${stmt#"${stmt%%[! ]*}"}
    printf '%s(%d, $n$%s$n$, $s$%s$s$)\n' "$sep" "$nr" "$name" "$stmt"
    sep=","
  done <"$work/matrix"
  echo ") t(i, n, s) order by i;"
} >"$work/try.sql"

# The five sessions side by side: every statement is rolled back, and the person
# functions' rows act on a person who is not signed in.
logins=(viewer1:viewer-pass-1 foremen1:foremen-pass-1 goods1:goods-pass-1 admin1:admin-pass-1 "sys:$PGPASSWORD")
pids=()
for who in "${logins[@]}"; do
  login=${who%%:*}
  as_sql "$login" "${who#*:}" -f "$work/try.sql" >"$work/got.$login" 2>"$work/err.$login" & pids+=($!)
done
col=0
for who in "${logins[@]}"; do
  col=$((col + 1))
  login=${who%%:*}
  wait "${pids[$((col - 1))]}" || { cat "$work/err.$login"; fail "the matrix as $login did not run"; continue; }
  # One line per mismatch: the matrix's name, what came, what was wanted (a refusal
  # with its own code matches on the code).
  mismatches=$(awk -F'|' -v c=$col '
    NR == FNR { name = $1; sub(/ +$/, "", name); got[name] = substr($0, length($1) + 2); next }
    { name = $1; sub(/ +$/, "", name); split($2, w, " "); want = w[c]; rows++
      g = (name in got) ? got[name] : "(missing)"
      if (g != want && index(g, want " ") != 1) printf "%s: got '\''%s'\'', wanted '\''%s'\''\n", name, g, want }
    END { if (rows == 0) print "the matrix is empty" }' "$work/got.$login" "$work/matrix")
  if [ -n "$mismatches" ]; then
    while IFS= read -r line; do fail "$login: $line"; done <<<"$mismatches"
  else
    ok "$login: $(wc -l <"$work/matrix") statements as the matrix says"
  fi
done
# The matrix changed nothing that stays.
check "matrix left the persons alone" "$(admin_sql -c "select string_agg(login || ':' || grp || ':' || enabled, ' ' order by login) from accounts_dep.account_list")" \
      "admin1:mirn_admin:true foremen1:mirn_foremen:true goods1:mirn_goods:true spare1:mirn_viewer:true viewer1:mirn_viewer:true"

# --- what the groups, the persons and sys are -------------------------------------
check "no group, person or sys is a superuser or may create roles, and only persons and sys log in" \
      "$(su_sql -c "select string_agg(rolname, ' ' order by rolname) from pg_roles
                     where rolname in ('mirn_owner','mirn_accounts','mirn_viewer','mirn_foremen','mirn_goods','mirn_admin',
                                       'viewer1','foremen1','goods1','admin1','spare1','sys')
                       and (rolsuper or rolbypassrls or rolreplication
                            or (rolcreaterole and rolname <> 'mirn_accounts')
                            or (rolcanlogin <> (rolname in ('viewer1','foremen1','goods1','admin1','spare1','sys'))))")" ""
check "nobody may set session_replication_role" \
      "$(su_sql -c "select count(*) from pg_roles where rolname ~ '^(mirn_|sys$|viewer1|foremen1|goods1|admin1)'
                     and has_parameter_privilege(rolname, 'session_replication_role', 'SET')")" 0
check "nobody is in mirn_owner or mirn_accounts; mirn_accounts is only in pg_signal_backend" \
      "$(su_sql -c "select string_agg(roleid::regrole || '>' || member::regrole, ' ') from pg_auth_members
                     where roleid::regrole::text in ('mirn_owner','mirn_accounts') or member::regrole::text in ('mirn_owner','mirn_accounts')")" \
      "pg_signal_backend>mirn_accounts"
check "groups of the persons and sys" \
      "$(su_sql -c "select string_agg(member::regrole || '>' || roleid::regrole, ' ' order by member::regrole::text) from pg_auth_members
                     where roleid::regrole::text like 'mirn\\_%'")" \
      "admin1>mirn_admin foremen1>mirn_foremen goods1>mirn_goods spare1>mirn_viewer sys>mirn_admin viewer1>mirn_viewer"
check "owners in the database" \
      "$(su_sql -c "select string_agg(distinct refobjid::regrole::text, ' ') from pg_shdepend
                     where deptype = 'o' and (dbid = (select oid from pg_database where datname = current_database())
                                              or objid = (select oid from pg_database where datname = current_database()))")" \
      "mirn_accounts mirn_owner"
check "mirn_accounts owns the person functions only" \
      "$(su_sql -c "select string_agg(proname, ' ' order by proname) from pg_proc where proowner = 'mirn_accounts'::regrole")" \
      "person_caller person_create person_disable person_enable person_group person_login person_password person_set_group person_set_password"

# --- closing and reopening ----------------------------------------------------------
check "close by the administrator" "$(admin_sql -c "select accounts_dep.close_month(2031, 3, 'Сдан в бухгалтерию')")" t
check "a second close changes nothing" "$(admin_sql -c "select accounts_dep.close_month(2031, 3, 'ещё раз')")" f
check "the lock row names the server's user" \
      "$(su_sql -c "select closed_by || '|' || reason || '|' || (closed_at > now() - interval '1 minute') from accounts_dep.period_lock where year = 2031 and month = 3")" \
      "admin1|Сдан в бухгалтерию|true"
check "the close is in the history" \
      "$(su_sql -c "select action || '|' || db_user || '|' || row_id || '|' || (new_row->>'reason') from accounts_dep.change_log where table_name = 'period_lock' order by id desc limit 1")" \
      "close|admin1|203103|Сдан в бухгалтерию"
# A payroll export of the closed month is recorded through the function alone, in the history's chain.
check "payroll export recorded by the administrator" \
      "$(admin_sql -c "select accounts_dep.payroll_export_record(2031, 3, 'Зарплата 2031-03.csv', 'abc', 2, '1010=1.00') > 0")" t
check "the payroll export is in the history" \
      "$(su_sql -c "select action || '|' || db_user || '|' || (new_row->>'file_name') || '|' || (new_row->>'exported_by') from accounts_dep.change_log where table_name = 'payroll_export' order by id desc limit 1")" \
      "insert|admin1|Зарплата 2031-03.csv|admin1"
check "the history's chain holds after it" "$(admin_sql -c "select accounts_dep.verify_change_log() is null")" t
out=$(as_sql foremen1 foremen-pass-1 -c "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok) values (10001, $I, $O, 2.5, 3, 0, date '2031-03-12', 1, 0, 4, 'no')" 2>&1)
check "foremen's entry in the closed month refused" "$(grep -c 'Месяц закрыт: март 2031' <<<"$out")" 1
out=$(sys_sql -c "update accounts_dep.smena set kol_vo = 500 where id = $E" 2>&1)
check "sys's change in the closed month refused" "$(grep -c 'Месяц закрыт: март 2031' <<<"$out")" 1
out=$(sys_sql -c "select accounts_dep.reopen_month(2031, 3, '')" 2>&1)
check "reopen without a reason refused" "$(grep -c 'Укажите причину' <<<"$out")" 1
check "reopen by sys" "$(sys_sql -c "select set_config('mirn.client_role', 'Администратор', false)" -c "select accounts_dep.reopen_month(2031, 3, 'Ошибка в количестве')" | tail -n 1)" t
check "the reopen is in the history" \
      "$(su_sql -c "select action || '|' || db_user || '|' || client_role || '|' || (old_row->>'closed_by') || '|' || (new_row->>'reason') from accounts_dep.change_log where table_name = 'period_lock' order by id desc limit 1")" \
      "reopen|sys|Администратор|admin1|Ошибка в количестве"
check "the month takes writes again" "$(sys_sql -c "update accounts_dep.smena set kol_vo = 10 where id = $E")" ""

# --- the chain --------------------------------------------------------------------
before=$(su_sql -c "select last_id from accounts_dep.change_log_head")
new=$(as_sql foremen1 foremen-pass-1 -c "select set_config('mirn.client_role', 'Администратор', false)" \
        -c "insert into accounts_dep.smena(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok) values (10001, $I, $O, 2.5, 7, 0, date '2031-03-11', 1, 0, 4, 'no') returning id" | tail -n 1)
as_sql goods1 goods-pass-1 -c "update accounts_dep.smena set ok='ok' where id=$new" >/dev/null
check "two persons' changes, chained, each under its own name (the role is only what the client said)" \
      "$(su_sql -c "select string_agg(x, ' ' order by id) from (
                      select c.id, c.action || ':' || c.db_user || ':' || coalesce(c.client_role, '-') || ':' || a.full_name
                             || ':' || (c.prev_id = coalesce(lag(c.id) over (order by c.id), $before)) as x
                        from accounts_dep.change_log c left join accounts_dep.account a on a.login = c.db_user
                       where c.id > $before) t")" \
      "insert:foremen1:Администратор:Бригадиров Борис Борисович:true update:goods1:-:Складова Галина Ивановна:true"
check "chain intact" "$(admin_sql -c "select accounts_dep.verify_change_log() is null")" t

# Concurrent writers: one in single statements, one in transactions of 20 rows.
count0=$(su_sql -c "select count(*) from accounts_dep.change_log")
ins="INSERT INTO accounts_dep.fatigue(id_nom, id_o, id_p, d_date, i_mnth, i_year, i_smena, cnt, price)VALUES($NOM, 7777 ,10001, '11.04.2031', 4, 2031, 1, 1, 150);"
for i in $(seq 200); do echo "$ins"; done >"$work/writer1.sql"
for t in $(seq 10); do echo "begin;"; for i in $(seq 20); do echo "$ins"; done; echo "commit;"; done >"$work/writer2.sql"
as_sql viewer1 viewer-pass-1 -f "$work/writer1.sql" >/dev/null 2>"$work/w1.err" & w1=$!
as_sql foremen1 foremen-pass-1 -f "$work/writer2.sql" >/dev/null 2>"$work/w2.err" & w2=$!
wait $w1 || fail "writer 1: $(cat "$work/w1.err")"
wait $w2 || fail "writer 2: $(cat "$work/w2.err")"
check "400 rows from two concurrent writers" "$(su_sql -c "select count(*) - $count0 from accounts_dep.change_log")" 400
check "chain intact after concurrent writers" "$(admin_sql -c "select accounts_dep.verify_change_log() is null")" t

# A writer in REPEATABLE READ whose snapshot misses a newer link is refused, not forked.
mkfifo "$work/rr"
as_sql goods1 goods-pass-1 -v ON_ERROR_STOP=0 <"$work/rr" >"$work/rr.out" 2>&1 & rr=$!
exec 7>"$work/rr"
printf '%s\n' "begin isolation level repeatable read;" "select count(*) from accounts_dep.fatigue;" "\\! touch $work/rr.ready" >&7
for _ in $(seq 100); do [ -e "$work/rr.ready" ] && break; sleep 0.05; done
as_sql viewer1 viewer-pass-1 -c "$ins" >/dev/null
echo "$ins commit;" >&7
exec 7>&-
wait $rr
check "repeatable read writer refused" "$(grep -c 'could not serialize access' "$work/rr.out")" 1
check "chain intact after the refused writer" "$(admin_sql -c "select accounts_dep.verify_change_log() is null")" t

# The owner (a superuser acting as mirn_owner) tampering is found at the row.
owner() { su_sql -c "set role mirn_owner" -c "alter table accounts_dep.change_log disable trigger change_log_guard" \
                 -c "$1" -c "alter table accounts_dep.change_log enable trigger change_log_guard"; }
mid=$(su_sql -c "select id from accounts_dep.change_log where table_name = 'smena' and action = 'update' order by id desc limit 1")
owner "update accounts_dep.change_log set new_row = jsonb_set(new_row, '{ok}', '\"no\"') where id = $mid"
check "an edited row is found" "$(admin_sql -c "select accounts_dep.verify_change_log()")" "$mid"
owner "update accounts_dep.change_log set new_row = jsonb_set(new_row, '{ok}', '\"ok\"') where id = $mid"
check "put back, the chain is intact" "$(admin_sql -c "select accounts_dep.verify_change_log() is null")" t
owner "update accounts_dep.change_log set db_user = 'admin1' where id = $mid"
check "a changed person is found" "$(admin_sql -c "select accounts_dep.verify_change_log()")" "$mid"
owner "update accounts_dep.change_log set db_user = 'goods1' where id = $mid"
su_sql -c "create table public.saved as select * from accounts_dep.change_log where id = $mid" >/dev/null
owner "delete from accounts_dep.change_log where id = $mid"
check "a removed row is found" "$(admin_sql -c "select accounts_dep.verify_change_log()")" "$mid"
su_sql -c "set session_replication_role = replica" -c "insert into accounts_dep.change_log select * from public.saved" -c "drop table public.saved" >/dev/null
check "put back, intact again" "$(admin_sql -c "select accounts_dep.verify_change_log() is null")" t
last=$(su_sql -c "select max(id) from accounts_dep.change_log")
owner "delete from accounts_dep.change_log where id = $last"
check "the removed newest row is found" "$(admin_sql -c "select accounts_dep.verify_change_log()")" "$last"
out=$(su_sql -c "set role mirn_owner" -c "update accounts_dep.change_log set db_user = 'x' where id = $mid" 2>&1)
check "even the owner is refused while the guard is on" "$(grep -c 'История изменений только пополняется' <<<"$out")" 1
out=$(su_sql -c "set role mirn_owner" -c "truncate accounts_dep.fatigue" 2>&1)
check "the owner's TRUNCATE refused" "$(grep -c 'целиком не очищается' <<<"$out")" 1

# --- signing in -------------------------------------------------------------------
signin() { as_sql "$1" "$2" -c "select session_user" 2>&1; }
verifier=$(su_sql -c "create role tmp_verifier password 'verifier-pass-1'" -c "select rolpassword from pg_authid where rolname = 'tmp_verifier'" \
                  -c "drop role tmp_verifier")
admin_sql -c "select accounts_dep.person_create('scram1', 'Хешев Харитон Харитонович', 'mirn_viewer', '$verifier')" >/dev/null
check "a SCRAM verifier made by the client is taken as it is" "$(signin scram1 verifier-pass-1)" scram1
check "wrong password" "$(signin admin1 wrong-password | grep -c 'password authentication failed')" 1
admin_sql -c "select accounts_dep.person_disable('viewer1')" >/dev/null
check "a disabled person cannot sign in" "$(signin viewer1 viewer-pass-1 | grep -c 'not permitted to log in')" 1
check "disabled in the list" "$(admin_sql -c "select enabled from accounts_dep.account_list where login = 'viewer1'")" f
admin_sql -c "select accounts_dep.person_enable('viewer1')" -c "select accounts_dep.person_set_password('viewer1', 'viewer-pass-2')" >/dev/null
check "enabled, with the new password" "$(signin viewer1 viewer-pass-2)" viewer1
check "the old password no longer" "$(signin viewer1 viewer-pass-1 | grep -c 'password authentication failed')" 1
as_sql goods1 goods-pass-1 -c "select pg_sleep(30)" >/dev/null 2>&1 & sleeper=$!
for _ in $(seq 100); do
  [ "$(su_sql -c "select count(*) from pg_stat_activity where usename = 'goods1'")" = 1 ] && break; sleep 0.05
done
admin_sql -c "select accounts_dep.person_disable('goods1')" >/dev/null
started=$SECONDS
wait $sleeper; rc=$?
[ "$rc" -ne 0 ] && [ $((SECONDS - started)) -lt 10 ] && ok "disabling ends the person's open session" \
  || fail "the disabled person's session went on (code $rc)"
admin_sql -c "select accounts_dep.person_set_group('foremen1', 'mirn_goods')" >/dev/null
check "a new group" "$(admin_sql -c "select grp from accounts_dep.account_list where login = 'foremen1'")" mirn_goods
check "account changes are in the history" \
      "$(su_sql -c "select count(*) from accounts_dep.change_log where table_name = 'account' and db_user in ('postgres', 'admin1')")" 11

# --- back out ---------------------------------------------------------------------
for run in 1 2; do
  su_sql -f "$root/db/roles_drop.sql" >"$work/drop$run" 2>&1 || { cat "$work/drop$run"; fail "roles_drop.sql, run $run"; }
  snapshot >"$work/after$run"
  if cmp -s "$work/before" "$work/after$run"; then ok "roles_drop.sql (run $run) leaves the catalog as before roles.sql"
  else fail "roles_drop.sql (run $run) left the catalog changed:"; diff "$work/before" "$work/after$run" | head -30; fi
done
check "sys owns the tables again" "$(su_sql -c "select relowner::regrole from pg_class where oid = 'accounts_dep.smena'::regclass")" sys
check "and may close a month directly again" "$(sys_sql -c "insert into accounts_dep.period_lock(year, month) values (2031, 7)" -c "delete from accounts_dep.period_lock where year = 2031 and month = 7")" ""
check "extension_drop.sql after roles_drop.sql" "$(sys_sql -f "$root/db/extension_drop.sql" 2>&1)" ""

if [ "$failures" -gt 0 ]; then echo "$failures failure(s)"; exit 1; fi
echo "all passed"
