-- Personal accounts with rights the database enforces, and a change history nobody
-- can rewrite: an opt-in step after db/extension.sql.
--
-- Run by a superuser (creating roles, moving ownership to a role nobody logs in as
-- and adding pgcrypto need one), once; running it again changes nothing and keeps
-- the persons, the closed months and the history:
--   sudo -u postgres psql -v ON_ERROR_STOP=1 -d mirn_erp -f db/roles.sql
-- Remove again (back to the shared user owning everything):
--   sudo -u postgres psql -v ON_ERROR_STOP=1 -d mirn_erp -f db/roles_drop.sql
-- Run it when no client is writing: moving ownership locks every table briefly.
--
-- What it does (db/README.md has the full picture and the role matrix):
--   mirn_owner    NOLOGIN; owns everything the shared user (or whoever owned
--                 accounts_dep.smena) owned in this database, the database itself
--                 included, and the objects added here.
--   mirn_viewer, mirn_foremen, mirn_goods, mirn_admin
--                 NOLOGIN groups with exactly what the roles' windows do; a person's
--                 login is a member of one of them. The shared user sys becomes a
--                 member of mirn_admin, so the code sign-in keeps working.
--   mirn_accounts NOLOGIN with CREATEROLE; owns only the person functions.
--   period_lock   written only by accounts_dep.close_month / reopen_month (which
--                 take closed_by and closed_at from the server); every close and
--                 reopen lands in change_log.
--   change_log    append-only; every row carries the id of the row before it
--                 (prev_id) and a sha256 over that row's hash and its own content
--                 (hash); accounts_dep.verify_change_log() finds a broken link.
--   account       the persons' full names; account_list lists login, name, group
--                 and whether the login is enabled.
--   schema_version row ('roles', 1).

\set ON_ERROR_STOP 1

BEGIN;
-- "already exists, skipping" on every second run says nothing.
SET LOCAL client_min_messages = warning;

DO $$
DECLARE
    v integer;
BEGIN
    IF NOT (SELECT rolsuper FROM pg_catalog.pg_roles WHERE rolname = current_user) THEN
        RAISE EXCEPTION 'db/roles.sql must be run by a superuser (it creates roles and moves ownership)';
    END IF;
    IF to_regclass('accounts_dep.period_lock') IS NULL OR to_regclass('accounts_dep.change_log') IS NULL THEN
        RAISE EXCEPTION 'install db/extension.sql first';
    END IF;
    IF to_regclass('accounts_dep.schema_version') IS NULL THEN
        RAISE EXCEPTION 'accounts_dep.schema_version is missing: run db/extension.sql once more (it adds the version row and changes nothing else)';
    END IF;
    IF NOT EXISTS (SELECT 1 FROM accounts_dep.schema_version WHERE component = 'extension') THEN
        RAISE EXCEPTION 'accounts_dep.schema_version has no extension row: run db/extension.sql once more';
    END IF;
    SELECT version INTO v FROM accounts_dep.schema_version WHERE component = 'roles';
    IF v <> 1 THEN
        RAISE EXCEPTION 'accounts_dep.schema_version has roles version %, this script is version 1', v;
    END IF;
END
$$;

------------------------------------------------------------------------------
-- Roles
------------------------------------------------------------------------------

DO $$
DECLARE
    r text;
BEGIN
    FOREACH r IN ARRAY ARRAY['mirn_owner', 'mirn_accounts', 'mirn_viewer', 'mirn_foremen', 'mirn_goods', 'mirn_admin'] LOOP
        IF NOT EXISTS (SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = r) THEN
            EXECUTE format('CREATE ROLE %I NOLOGIN', r);
        END IF;
        -- Again on every run: nobody logs in as these, and none of them may do more
        -- than its grants.
        EXECUTE format('ALTER ROLE %I NOLOGIN NOSUPERUSER NOCREATEDB NOREPLICATION NOBYPASSRLS INHERIT %s',
                       r, CASE WHEN r = 'mirn_accounts' THEN 'CREATEROLE' ELSE 'NOCREATEROLE' END);
    END LOOP;
END
$$;

-- No role holds another role's rights through membership, except sys as an
-- administrator and the person functions' owner ending a disabled person's sessions.
-- Whatever was granted by hand is taken back, so each run leaves the same state.
DO $$
DECLARE
    m record;
BEGIN
    FOR m IN
        SELECT g.rolname AS grp, u.rolname AS member
          FROM pg_catalog.pg_auth_members a
          JOIN pg_catalog.pg_roles g ON g.oid = a.roleid
          JOIN pg_catalog.pg_roles u ON u.oid = a.member
         WHERE (g.rolname IN ('mirn_owner', 'mirn_accounts')
                OR u.rolname IN ('mirn_owner', 'mirn_accounts', 'mirn_viewer', 'mirn_foremen', 'mirn_goods', 'mirn_admin'))
           AND NOT (g.rolname = 'pg_signal_backend' AND u.rolname = 'mirn_accounts')
    LOOP
        EXECUTE format('REVOKE %I FROM %I CASCADE', m.grp, m.member);
    END LOOP;
END
$$;
GRANT pg_signal_backend TO mirn_accounts;

------------------------------------------------------------------------------
-- Ownership
------------------------------------------------------------------------------

-- What db/roles_drop.sql puts back: every object whose owner this script changed,
-- with the owner it had. The extension row with no owner says that this script
-- added pgcrypto.
CREATE TABLE IF NOT EXISTS accounts_dep.roles_undo (
    object_type     text NOT NULL,
    object_identity text NOT NULL,
    owner           name,
    PRIMARY KEY (object_type, object_identity)
);

DO $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_catalog.pg_extension WHERE extname = 'pgcrypto') THEN
        CREATE EXTENSION pgcrypto;
        INSERT INTO accounts_dep.roles_undo VALUES ('extension', 'pgcrypto', NULL);
    END IF;
END
$$;

-- Everything the former owner of the department's tables, and the shared user sys,
-- own in this database goes to mirn_owner: schemas, tables, views, sequences,
-- types, functions and the database itself. Objects of extensions stay with their
-- extension. Sequences and row types that belong to a table move with it, so tables
-- go first and each pass asks the catalog again. (The catalogs are read directly:
-- pg_shdepend keeps no owner entries for the bootstrap superuser.)
DO $$
DECLARE
    sources oid[];
    pass integer;
    o record;
BEGIN
    SELECT array_agg(DISTINCT x.oid) INTO sources
      FROM (SELECT r.oid FROM pg_catalog.pg_roles r WHERE r.rolname = 'sys'
            UNION ALL
            SELECT c.relowner FROM pg_catalog.pg_class c WHERE c.oid = 'accounts_dep.smena'::regclass) x
     WHERE x.oid <> 'mirn_owner'::regrole;
    IF sources IS NULL THEN
        RETURN;
    END IF;
    FOR pass IN 1..3 LOOP
        FOR o IN
            WITH s AS (
                SELECT n.oid FROM pg_catalog.pg_namespace n
                 WHERE n.nspname NOT LIKE 'pg\_%' AND n.nspname <> 'information_schema'),
            objects AS (
                SELECT 'pg_catalog.pg_namespace'::regclass AS classid, n.oid AS objid, n.nspowner AS owner
                  FROM pg_catalog.pg_namespace n WHERE n.oid IN (SELECT oid FROM s)
                UNION ALL
                SELECT 'pg_catalog.pg_database'::regclass, d.oid, d.datdba
                  FROM pg_catalog.pg_database d WHERE d.datname = current_database()
                UNION ALL
                SELECT 'pg_catalog.pg_class'::regclass, c.oid, c.relowner
                  FROM pg_catalog.pg_class c
                 WHERE c.relnamespace IN (SELECT oid FROM s) AND c.relkind IN ('r', 'p', 'v', 'm', 'f', 'S')
                UNION ALL
                SELECT 'pg_catalog.pg_type'::regclass, t.oid, t.typowner
                  FROM pg_catalog.pg_type t
                 WHERE t.typnamespace IN (SELECT oid FROM s) AND t.typtype IN ('b', 'd', 'e', 'r', 'c')
                   AND (t.typrelid = 0 OR (SELECT c.relkind FROM pg_catalog.pg_class c WHERE c.oid = t.typrelid) = 'c')
                   AND NOT EXISTS (SELECT 1 FROM pg_catalog.pg_type e WHERE e.typarray = t.oid)
                UNION ALL
                SELECT 'pg_catalog.pg_proc'::regclass, p.oid, p.proowner
                  FROM pg_catalog.pg_proc p WHERE p.pronamespace IN (SELECT oid FROM s))
            SELECT i.type, i.identity, r.rolname AS owner
              FROM objects b
              JOIN pg_catalog.pg_roles r ON r.oid = b.owner
             CROSS JOIN LATERAL pg_catalog.pg_identify_object(b.classid, b.objid, 0) i
             WHERE b.owner = ANY (sources)
               AND NOT EXISTS (SELECT 1 FROM pg_catalog.pg_depend e
                                WHERE e.classid = b.classid AND e.objid = b.objid AND e.deptype = 'e')
               AND CASE pass
                   WHEN 1 THEN i.type IN ('schema', 'database')
                   WHEN 2 THEN i.type IN ('table', 'view', 'materialized view', 'foreign table')
                   ELSE true
                   END
        LOOP
            INSERT INTO accounts_dep.roles_undo VALUES (o.type, o.identity, o.owner) ON CONFLICT DO NOTHING;
            EXECUTE format('ALTER %s %s OWNER TO mirn_owner', upper(o.type), o.identity);
        END LOOP;
    END LOOP;
END
$$;
ALTER TABLE accounts_dep.roles_undo OWNER TO mirn_owner;

------------------------------------------------------------------------------
-- Closed months: only through the two functions, both recorded
------------------------------------------------------------------------------

ALTER TABLE accounts_dep.period_lock ADD COLUMN IF NOT EXISTS reason text;

-- A month (year, month) is closed by its row. The reason may be left empty.
-- True when this call closed it, false when it was closed already.
CREATE OR REPLACE FUNCTION accounts_dep.close_month(year integer, month integer, reason text)
RETURNS boolean
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF accounts_dep.period_key(close_month.year, close_month.month) IS NULL THEN
        RAISE EXCEPTION USING ERRCODE = '22023',
            MESSAGE = format('Нет такого месяца: %s.%s', close_month.month, close_month.year);
    END IF;
    -- Waits for the saves already writing into the month (period_lock_serialize).
    INSERT INTO accounts_dep.period_lock (year, month, closed_by, closed_at, reason)
    VALUES (close_month.year, close_month.month, session_user, now(), nullif(btrim(close_month.reason), ''))
    ON CONFLICT ON CONSTRAINT period_lock_pkey DO NOTHING;
    RETURN FOUND;
END
$$;

-- Reopening needs a reason; it goes into the history with the lock row.
-- True when this call reopened the month, false when it was not closed.
CREATE OR REPLACE FUNCTION accounts_dep.reopen_month(year integer, month integer, reason text)
RETURNS boolean
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF accounts_dep.period_key(reopen_month.year, reopen_month.month) IS NULL THEN
        RAISE EXCEPTION USING ERRCODE = '22023',
            MESSAGE = format('Нет такого месяца: %s.%s', reopen_month.month, reopen_month.year);
    END IF;
    IF nullif(btrim(reopen_month.reason), '') IS NULL THEN
        RAISE EXCEPTION USING ERRCODE = '22023', MESSAGE = 'Укажите причину, по которой месяц открывается.';
    END IF;
    -- For period_lock_record, within this transaction only.
    PERFORM set_config('mirn.reopen_reason', btrim(reopen_month.reason), true);
    DELETE FROM accounts_dep.period_lock p WHERE p.year = reopen_month.year AND p.month = reopen_month.month;
    RETURN FOUND;
END
$$;

ALTER FUNCTION accounts_dep.close_month(integer, integer, text) OWNER TO mirn_owner;
ALTER FUNCTION accounts_dep.reopen_month(integer, integer, text) OWNER TO mirn_owner;

------------------------------------------------------------------------------
-- The history's chain
------------------------------------------------------------------------------

ALTER TABLE accounts_dep.change_log ADD COLUMN IF NOT EXISTS prev_id bigint;
ALTER TABLE accounts_dep.change_log ADD COLUMN IF NOT EXISTS hash bytea;
-- The id is the chain's (change_log_chain below): taken only once the chain is
-- locked, so ids follow the chain. Without the trigger a row gets no id at all.
ALTER TABLE accounts_dep.change_log ALTER COLUMN id DROP DEFAULT;

-- The end of the chain. Every writer locks this one row until it commits, so the
-- rows join the chain one transaction after the other, in the order of their ids;
-- a writer in REPEATABLE READ whose snapshot missed a newer link fails to lock it
-- (could not serialize access) instead of forking the chain.
CREATE TABLE IF NOT EXISTS accounts_dep.change_log_head (
    one       boolean PRIMARY KEY DEFAULT true CHECK (one),
    last_id   bigint,
    last_hash bytea
);
ALTER TABLE accounts_dep.change_log_head OWNER TO mirn_owner;

-- pgcrypto may live in any schema; its digest is called by that schema's name, with
-- nothing else on the search path.
DO $$
DECLARE
    s name;
BEGIN
    SELECT n.nspname INTO s FROM pg_catalog.pg_extension e JOIN pg_catalog.pg_namespace n ON n.oid = e.extnamespace
     WHERE e.extname = 'pgcrypto';
    EXECUTE format('CREATE OR REPLACE FUNCTION accounts_dep.change_log_digest(data bytea) RETURNS bytea '
                   'LANGUAGE sql IMMUTABLE STRICT SET search_path = pg_catalog, pg_temp AS %L',
                   format('SELECT %I.digest(data, %L)', s, 'sha256'));
END
$$;
ALTER FUNCTION accounts_dep.change_log_digest(bytea) OWNER TO mirn_owner;

-- A row's link: sha256 over the previous row's hash and the row's own content,
-- written as one jsonb array text (jsonb prints the same value the same way; the
-- time in UTC to the microsecond, whatever the session's time zone).
CREATE OR REPLACE FUNCTION accounts_dep.change_log_hash(prev bytea, r accounts_dep.change_log) RETURNS bytea
LANGUAGE sql STABLE SET search_path = pg_catalog, pg_temp AS $$
    SELECT accounts_dep.change_log_digest(
        coalesce(prev, '\x'::bytea) ||
        convert_to(jsonb_build_array(r.id, r.prev_id, to_char(r.at AT TIME ZONE 'UTC', 'YYYY-MM-DD HH24:MI:SS.US'),
                                     r.table_name, r.row_id, r.action,
                                     r.old_row, r.new_row, r.db_user, r.client_role, r.client_host,
                                     r.app_version)::text, 'UTF8'))
$$;
ALTER FUNCTION accounts_dep.change_log_hash(bytea, accounts_dep.change_log) OWNER TO mirn_owner;

-- Every row that arrives joins the chain; the id, the time and the acting person
-- are the server's, whatever the insert said.
CREATE OR REPLACE FUNCTION accounts_dep.change_log_chain() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    head record;
BEGIN
    SELECT h.last_id, h.last_hash INTO head FROM accounts_dep.change_log_head h WHERE h.one FOR UPDATE;
    IF NOT FOUND THEN
        RAISE EXCEPTION 'accounts_dep.change_log_head has lost its row';
    END IF;
    NEW.id := nextval('accounts_dep.change_log_id_seq'::regclass);
    NEW.at := now();
    NEW.db_user := session_user;
    NEW.prev_id := head.last_id;
    NEW.hash := accounts_dep.change_log_hash(head.last_hash, NEW);
    UPDATE accounts_dep.change_log_head h SET last_id = NEW.id, last_hash = NEW.hash WHERE h.one;
    RETURN NEW;
END
$$;
ALTER FUNCTION accounts_dep.change_log_chain() OWNER TO mirn_owner;

-- Null while every row links to the one before it and matches its hash, and the
-- last row is the chain's recorded end; otherwise the id of the first row that does
-- not: an edited row, the row after a forged one, or, for removed rows, the id of
-- the (last) removed row.
CREATE OR REPLACE FUNCTION accounts_dep.verify_change_log() RETURNS bigint
LANGUAGE plpgsql STABLE SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    r accounts_dep.change_log;
    last_id bigint;
    last_hash bytea;
    head record;
BEGIN
    FOR r IN SELECT * FROM accounts_dep.change_log c ORDER BY c.id LOOP
        IF r.prev_id IS DISTINCT FROM last_id THEN
            IF r.prev_id > coalesce(last_id, 0) THEN
                RETURN r.prev_id;  -- removed
            END IF;
            RETURN (SELECT min(c.id) FROM accounts_dep.change_log c WHERE c.id > coalesce(r.prev_id, 0));  -- put in
        END IF;
        IF r.hash IS DISTINCT FROM accounts_dep.change_log_hash(last_hash, r) THEN
            RETURN r.id;
        END IF;
        last_id := r.id;
        last_hash := r.hash;
    END LOOP;
    SELECT h.last_id, h.last_hash INTO head FROM accounts_dep.change_log_head h WHERE h.one;
    IF head.last_id IS DISTINCT FROM last_id THEN
        IF head.last_id > coalesce(last_id, 0) THEN
            RETURN head.last_id;  -- the newest rows removed
        END IF;
        RETURN (SELECT min(c.id) FROM accounts_dep.change_log c WHERE c.id > coalesce(head.last_id, 0));
    END IF;
    IF head.last_hash IS DISTINCT FROM last_hash THEN
        RETURN last_id;
    END IF;
    RETURN NULL;
END
$$;
ALTER FUNCTION accounts_dep.verify_change_log() OWNER TO mirn_owner;

-- The rows already there join the chain once, in the order of their ids.
DO $$
DECLARE
    r accounts_dep.change_log;
    last_id bigint;
    last_hash bytea;
BEGIN
    IF EXISTS (SELECT 1 FROM accounts_dep.change_log_head) THEN
        RETURN;
    END IF;
    FOR r IN SELECT * FROM accounts_dep.change_log c ORDER BY c.id LOOP
        r.prev_id := last_id;
        r.hash := accounts_dep.change_log_hash(last_hash, r);
        UPDATE accounts_dep.change_log c SET prev_id = r.prev_id, hash = r.hash WHERE c.id = r.id;
        last_id := r.id;
        last_hash := r.hash;
    END LOOP;
    INSERT INTO accounts_dep.change_log_head (one, last_id, last_hash) VALUES (true, last_id, last_hash);
END
$$;

CREATE OR REPLACE TRIGGER change_log_chain
    BEFORE INSERT ON accounts_dep.change_log
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.change_log_chain();

-- The history only grows, whoever asks; its owner would have to switch this off
-- first, and verify_change_log() then shows what was touched.
CREATE OR REPLACE FUNCTION accounts_dep.change_log_guard() RETURNS trigger
LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    RAISE EXCEPTION USING ERRCODE = '42501',
        MESSAGE = 'История изменений только пополняется: её строки не меняются и не удаляются.';
END
$$;
ALTER FUNCTION accounts_dep.change_log_guard() OWNER TO mirn_owner;
CREATE OR REPLACE TRIGGER change_log_guard
    BEFORE UPDATE OR DELETE OR TRUNCATE ON accounts_dep.change_log
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.change_log_guard();

-- TRUNCATE passes the row triggers by: on these tables it would remove rows (or
-- closed months) without a trace, so it is refused; deletes are recorded row by row.
CREATE OR REPLACE FUNCTION accounts_dep.truncate_refuse() RETURNS trigger
LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    RAISE EXCEPTION USING ERRCODE = '42501',
        MESSAGE = format('Таблица %s.%s целиком не очищается: удаляйте строки, удаление попадает в историю.',
                         TG_TABLE_SCHEMA, TG_TABLE_NAME);
END
$$;
ALTER FUNCTION accounts_dep.truncate_refuse() OWNER TO mirn_owner;

-- Closing and reopening, with the person who did it.
CREATE OR REPLACE FUNCTION accounts_dep.period_lock_record() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    INSERT INTO accounts_dep.change_log
        (table_name, row_id, action, old_row, new_row, db_user, client_role, client_host, app_version)
    VALUES ('period_lock',
            CASE WHEN TG_OP = 'DELETE' THEN OLD.year * 100 + OLD.month ELSE NEW.year * 100 + NEW.month END,
            CASE TG_OP WHEN 'INSERT' THEN 'close' WHEN 'DELETE' THEN 'reopen' ELSE 'update' END,
            CASE WHEN TG_OP <> 'INSERT' THEN to_jsonb(OLD) END,
            CASE WHEN TG_OP = 'DELETE'
                 THEN jsonb_build_object('reason', nullif(current_setting('mirn.reopen_reason', true), ''))
                 ELSE to_jsonb(NEW) END,
            session_user,
            nullif(current_setting('mirn.client_role', true), ''),
            nullif(current_setting('mirn.client_host', true), ''),
            nullif(current_setting('mirn.app_version', true), ''));
    RETURN NULL;
END
$$;
ALTER FUNCTION accounts_dep.period_lock_record() OWNER TO mirn_owner;
CREATE OR REPLACE TRIGGER period_lock_record
    AFTER INSERT OR UPDATE OR DELETE ON accounts_dep.period_lock
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.period_lock_record();

-- Whoever may not change entries adds them unconfirmed and confirms with the marks
-- the journal knows; a null mark would hide an entry from the journal.
CREATE OR REPLACE FUNCTION accounts_dep.smena_ok_guard() RETURNS trigger
LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF has_column_privilege('accounts_dep.smena', 'kol_vo', 'UPDATE') THEN
        RETURN NEW;
    END IF;
    IF TG_OP = 'INSERT' AND NEW.ok IS DISTINCT FROM 'no' THEN
        RAISE EXCEPTION USING ERRCODE = '42501',
            MESSAGE = 'Новая запись журнала вносится неподтверждённой (ok = ''no'').';
    END IF;
    IF TG_OP = 'UPDATE' AND NEW.ok IS DISTINCT FROM OLD.ok AND NEW.ok IS DISTINCT FROM 'ok'
       AND NEW.ok IS DISTINCT FROM 'да' AND NEW.ok IS DISTINCT FROM 'no' THEN
        RAISE EXCEPTION USING ERRCODE = '42501',
            MESSAGE = 'Отметка подтверждения — ''ok'', ''да'' или ''no''.';
    END IF;
    RETURN NEW;
END
$$;
ALTER FUNCTION accounts_dep.smena_ok_guard() OWNER TO mirn_owner;
CREATE OR REPLACE TRIGGER smena_ok_guard
    BEFORE INSERT OR UPDATE OF ok ON accounts_dep.smena
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.smena_ok_guard();

-- The guards of the closed months run as whoever writes; with a fixed search path
-- no operator or function of another schema can stand in for the ones they mean.
ALTER FUNCTION accounts_dep.period_lock_guard() SET search_path = pg_catalog, pg_temp;
ALTER FUNCTION accounts_dep.period_lock_guard_truncate() SET search_path = pg_catalog, pg_temp;
ALTER FUNCTION accounts_dep.period_lock_serialize() SET search_path = pg_catalog, pg_temp;
ALTER FUNCTION accounts_dep.period_lock_refuse(integer) SET search_path = pg_catalog, pg_temp;

------------------------------------------------------------------------------
-- Persons
------------------------------------------------------------------------------

-- One row per personal login made by person_create: the full name the history
-- and the users window show for it. grp and enabled repeat what the functions
-- last set, so that the history keeps every change of an account; account_list
-- reads the live state from the catalog.
CREATE TABLE IF NOT EXISTS accounts_dep.account (
    id                  integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY,
    login               name NOT NULL UNIQUE,
    full_name           text NOT NULL,
    grp                 name NOT NULL,
    enabled             boolean NOT NULL DEFAULT true,
    password_changed_at timestamptz,
    created_at          timestamptz NOT NULL DEFAULT now(),
    created_by          name NOT NULL DEFAULT session_user
);
ALTER TABLE accounts_dep.account OWNER TO mirn_owner;
CREATE OR REPLACE TRIGGER change_log_record
    AFTER INSERT OR UPDATE OR DELETE ON accounts_dep.account
    FOR EACH ROW EXECUTE FUNCTION accounts_dep.change_log_record();

-- For the users window: login, full name, group (one of the four) and whether the
-- login may sign in.
CREATE OR REPLACE VIEW accounts_dep.account_list AS
SELECT a.login::text AS login,
       a.full_name,
       (SELECT g.rolname::text
          FROM pg_catalog.pg_auth_members m JOIN pg_catalog.pg_roles g ON g.oid = m.roleid
         WHERE m.member = r.oid AND g.rolname IN ('mirn_admin', 'mirn_goods', 'mirn_foremen', 'mirn_viewer')
         ORDER BY array_position(ARRAY['mirn_admin', 'mirn_goods', 'mirn_foremen', 'mirn_viewer']::name[], g.rolname)
         LIMIT 1) AS grp,
       coalesce(r.rolcanlogin, false) AS enabled
  FROM accounts_dep.account a
  LEFT JOIN pg_catalog.pg_roles r ON r.rolname = a.login;
ALTER VIEW accounts_dep.account_list OWNER TO mirn_owner;

-- Who manages accounts: an administrator signed in with their own login. The shared
-- user of the code sign-in is refused, since its password is in every old client
-- and an account made with it would outlive a change of that password.
CREATE OR REPLACE FUNCTION accounts_dep.person_caller() RETURNS name
LANGUAGE plpgsql STABLE SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF session_user = 'sys' THEN
        RAISE EXCEPTION USING ERRCODE = '42501',
            MESSAGE = 'Учётными записями распоряжается администратор под своим именем, не sys.';
    END IF;
    RETURN session_user;
END
$$;

-- The four groups a person may be put in; anything else is refused.
CREATE OR REPLACE FUNCTION accounts_dep.person_group(grp text) RETURNS name
LANGUAGE plpgsql IMMUTABLE SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF grp IS NULL OR grp NOT IN ('mirn_viewer', 'mirn_foremen', 'mirn_goods', 'mirn_admin') THEN
        RAISE EXCEPTION USING ERRCODE = '22023',
            MESSAGE = format('Группа %s не подходит: mirn_viewer, mirn_foremen, mirn_goods или mirn_admin.',
                             coalesce(quote_literal(grp), 'не указана'));
    END IF;
    RETURN grp::name;
END
$$;

-- A login person_create made, still an ordinary login; nothing else is touched.
CREATE OR REPLACE FUNCTION accounts_dep.person_login(login text) RETURNS name
LANGUAGE plpgsql STABLE SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM accounts_dep.account a JOIN pg_catalog.pg_roles r ON r.rolname = a.login
                    WHERE a.login = person_login.login
                      AND NOT (r.rolsuper OR r.rolcreaterole OR r.rolcreatedb OR r.rolreplication OR r.rolbypassrls)) THEN
        RAISE EXCEPTION USING ERRCODE = '22023',
            MESSAGE = format('%s — не учётная запись сотрудника.', coalesce(quote_literal(login), 'Имя не указано'));
    END IF;
    RETURN login::name;
END
$$;

-- A password as the server stores it: a plain one of 8 characters or more
-- (hashed with SCRAM), or a SCRAM verifier the client computed; an MD5 hash never.
CREATE OR REPLACE FUNCTION accounts_dep.person_password(password text) RETURNS text
LANGUAGE plpgsql IMMUTABLE SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    IF password ~ '^SCRAM-SHA-256\$' THEN
        RETURN password;
    END IF;
    IF password IS NULL OR length(password) < 8 OR password ~ '^md5[0-9a-f]{32}$' THEN
        RAISE EXCEPTION USING ERRCODE = '22023', MESSAGE = 'Пароль — не короче 8 знаков.';
    END IF;
    RETURN password;
END
$$;

CREATE OR REPLACE FUNCTION accounts_dep.person_create(login text, full_name text, grp text, password text)
RETURNS void
LANGUAGE plpgsql SECURITY DEFINER
SET search_path = pg_catalog, pg_temp SET password_encryption = 'scram-sha-256' AS $$
DECLARE
    me name := accounts_dep.person_caller();
    g name := accounts_dep.person_group(grp);
    p text := accounts_dep.person_password(password);
    n text := nullif(btrim(full_name), '');
BEGIN
    IF login IS NULL OR login !~ '^[a-z][a-z0-9_]{1,62}$' THEN
        RAISE EXCEPTION USING ERRCODE = '22023',
            MESSAGE = 'Имя входа: от 2 до 63 строчных латинских букв, цифр и «_», первая — буква.';
    END IF;
    IF login ~ '^(mirn_|pg_)' OR login IN ('sys', 'postgres', 'public', 'none', 'current_user', 'session_user',
                                           'current_role') THEN
        RAISE EXCEPTION USING ERRCODE = '22023', MESSAGE = format('Имя входа %s занято системой.', login);
    END IF;
    IF EXISTS (SELECT 1 FROM pg_catalog.pg_roles r WHERE r.rolname = login) THEN
        RAISE EXCEPTION USING ERRCODE = '42710', MESSAGE = format('Имя входа %s уже есть.', login);
    END IF;
    IF n IS NULL THEN
        RAISE EXCEPTION USING ERRCODE = '22023', MESSAGE = 'Укажите полное имя сотрудника.';
    END IF;
    EXECUTE format('CREATE ROLE %I LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE NOREPLICATION NOBYPASSRLS INHERIT '
                   'PASSWORD %L IN ROLE %I', login, p, g);
    INSERT INTO accounts_dep.account (login, full_name, grp, enabled, password_changed_at)
    VALUES (login, n, g, true, now());
END
$$;

CREATE OR REPLACE FUNCTION accounts_dep.person_set_group(login text, grp text) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    me name := accounts_dep.person_caller();
    l name := accounts_dep.person_login(login);
    g name := accounts_dep.person_group(grp);
    other name;
BEGIN
    IF l = me THEN
        RAISE EXCEPTION USING ERRCODE = '22023', MESSAGE = 'Свою группу изменить нельзя.';
    END IF;
    FOREACH other IN ARRAY ARRAY['mirn_viewer', 'mirn_foremen', 'mirn_goods', 'mirn_admin']::name[] LOOP
        IF other <> g AND pg_has_role(l, other, 'MEMBER') THEN
            EXECUTE format('REVOKE %I FROM %I', other, l);
        END IF;
    END LOOP;
    EXECUTE format('GRANT %I TO %I', g, l);
    UPDATE accounts_dep.account a SET grp = g WHERE a.login = l;
END
$$;

-- Also ends the person's open sessions: a disabled login keeps no connection.
CREATE OR REPLACE FUNCTION accounts_dep.person_disable(login text) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    me name := accounts_dep.person_caller();
    l name := accounts_dep.person_login(login);
BEGIN
    IF l = me THEN
        RAISE EXCEPTION USING ERRCODE = '22023', MESSAGE = 'Свою учётную запись отключить нельзя.';
    END IF;
    EXECUTE format('ALTER ROLE %I NOLOGIN', l);
    UPDATE accounts_dep.account a SET enabled = false WHERE a.login = l;
    PERFORM pg_terminate_backend(s.pid) FROM pg_catalog.pg_stat_activity s WHERE s.usename = l;
END
$$;

CREATE OR REPLACE FUNCTION accounts_dep.person_enable(login text) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    me name := accounts_dep.person_caller();
    l name := accounts_dep.person_login(login);
BEGIN
    EXECUTE format('ALTER ROLE %I LOGIN', l);
    UPDATE accounts_dep.account a SET enabled = true WHERE a.login = l;
END
$$;

CREATE OR REPLACE FUNCTION accounts_dep.person_set_password(login text, password text) RETURNS void
LANGUAGE plpgsql SECURITY DEFINER
SET search_path = pg_catalog, pg_temp SET password_encryption = 'scram-sha-256' AS $$
DECLARE
    me name := accounts_dep.person_caller();
    l name := accounts_dep.person_login(login);
    p text := accounts_dep.person_password(password);
BEGIN
    EXECUTE format('ALTER ROLE %I PASSWORD %L', l, p);
    UPDATE accounts_dep.account a SET password_changed_at = now() WHERE a.login = l;
END
$$;

ALTER FUNCTION accounts_dep.person_caller() OWNER TO mirn_accounts;
ALTER FUNCTION accounts_dep.person_group(text) OWNER TO mirn_accounts;
ALTER FUNCTION accounts_dep.person_login(text) OWNER TO mirn_accounts;
ALTER FUNCTION accounts_dep.person_password(text) OWNER TO mirn_accounts;
ALTER FUNCTION accounts_dep.person_create(text, text, text, text) OWNER TO mirn_accounts;
ALTER FUNCTION accounts_dep.person_set_group(text, text) OWNER TO mirn_accounts;
ALTER FUNCTION accounts_dep.person_disable(text) OWNER TO mirn_accounts;
ALTER FUNCTION accounts_dep.person_enable(text) OWNER TO mirn_accounts;
ALTER FUNCTION accounts_dep.person_set_password(text, text) OWNER TO mirn_accounts;

------------------------------------------------------------------------------
-- TRUNCATE refused on the tables whose rows count
------------------------------------------------------------------------------

CREATE OR REPLACE TRIGGER truncate_refuse BEFORE TRUNCATE ON accounts_dep.smena
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.truncate_refuse();
CREATE OR REPLACE TRIGGER truncate_refuse BEFORE TRUNCATE ON accounts_dep.h_tabel
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.truncate_refuse();
CREATE OR REPLACE TRIGGER truncate_refuse BEFORE TRUNCATE ON accounts_dep.fatigue
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.truncate_refuse();
CREATE OR REPLACE TRIGGER truncate_refuse BEFORE TRUNCATE ON accounts_dep.oper
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.truncate_refuse();
CREATE OR REPLACE TRIGGER truncate_refuse BEFORE TRUNCATE ON accounts_dep.norm
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.truncate_refuse();
CREATE OR REPLACE TRIGGER truncate_refuse BEFORE TRUNCATE ON accounts_dep.period_lock
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.truncate_refuse();
CREATE OR REPLACE TRIGGER truncate_refuse BEFORE TRUNCATE ON accounts_dep.account
    FOR EACH STATEMENT EXECUTE FUNCTION accounts_dep.truncate_refuse();

------------------------------------------------------------------------------
-- Privileges: first everything the groups hold here is taken back, then given
-- exactly, so each run ends in the same state
------------------------------------------------------------------------------

DO $$
DECLARE
    s text;
BEGIN
    FOREACH s IN ARRAY ARRAY['accounts_dep', 'cmn_contractor', 'cmn_gds_and_srv', 'cmn_classifier', 'hrms_staffpos',
                             'cmn_department', 'adm_role'] LOOP
        CONTINUE WHEN to_regnamespace(s) IS NULL;
        EXECUTE format('REVOKE ALL ON SCHEMA %I FROM mirn_viewer, mirn_foremen, mirn_goods, mirn_admin, mirn_accounts', s);
        EXECUTE format('REVOKE ALL ON ALL TABLES IN SCHEMA %I FROM mirn_viewer, mirn_foremen, mirn_goods, mirn_admin, mirn_accounts', s);
        EXECUTE format('REVOKE ALL ON ALL SEQUENCES IN SCHEMA %I FROM mirn_viewer, mirn_foremen, mirn_goods, mirn_admin, mirn_accounts', s);
        -- Not from mirn_accounts: that would take its own functions from it.
        EXECUTE format('REVOKE ALL ON ALL ROUTINES IN SCHEMA %I FROM mirn_viewer, mirn_foremen, mirn_goods, mirn_admin', s);
    END LOOP;
END
$$;

-- The functions of this script are called by the groups named below only.
REVOKE ALL ON FUNCTION accounts_dep.close_month(integer, integer, text), accounts_dep.reopen_month(integer, integer, text),
    accounts_dep.verify_change_log(), accounts_dep.change_log_digest(bytea),
    accounts_dep.change_log_hash(bytea, accounts_dep.change_log),
    accounts_dep.person_caller(), accounts_dep.person_group(text), accounts_dep.person_login(text),
    accounts_dep.person_password(text), accounts_dep.person_create(text, text, text, text), accounts_dep.person_set_group(text, text),
    accounts_dep.person_disable(text), accounts_dep.person_enable(text), accounts_dep.person_set_password(text, text)
    FROM PUBLIC;

-- Every role: the journal and its lists, the reports (the change report reads the
-- history), the auxiliary work register with its pickers, and the build guard's
-- version row.
GRANT USAGE ON SCHEMA accounts_dep, cmn_contractor, cmn_classifier
    TO mirn_viewer, mirn_foremen, mirn_goods, mirn_admin;
GRANT SELECT ON accounts_dep.smena, accounts_dep.izdel, accounts_dep.oper, accounts_dep.vid_oper, accounts_dep.norm,
    accounts_dep.person, accounts_dep.fatigue, accounts_dep.ver, accounts_dep.period_lock, accounts_dep.change_log,
    accounts_dep.schema_version, accounts_dep.account, accounts_dep.account_list,
    cmn_contractor.person, cmn_classifier.item
    TO mirn_viewer, mirn_foremen, mirn_goods, mirn_admin;
GRANT INSERT, DELETE, UPDATE (id_nom, id_o, id_p, cnt, price) ON accounts_dep.fatigue
    TO mirn_viewer, mirn_foremen, mirn_goods, mirn_admin;
GRANT INSERT (d, t, delim), UPDATE (d, t) ON accounts_dep.ver
    TO mirn_viewer, mirn_foremen, mirn_goods, mirn_admin;

-- The foremen add entries and post their hours into the timesheet's day columns.
GRANT INSERT ON accounts_dep.smena TO mirn_foremen;
GRANT SELECT, INSERT, UPDATE (d1, d2, d3, d4, d5, d6, d7, d8, d9, d10, d11, d12, d13, d14, d15, d16, d17, d18, d19,
                              d20, d21, d22, d23, d24, d25, d26, d27, d28, d29, d30, d31)
    ON accounts_dep.h_tabel TO mirn_foremen;

-- The finished-goods role confirms entries.
GRANT UPDATE (ok) ON accounts_dep.smena TO mirn_goods;

-- The administrator: entries, the timesheet (posting, rebuilding a month), the
-- reference books (products live in the enterprise nomenclature), the worker
-- editor's lookups. Keys stay the database's: no column list names id.
GRANT USAGE ON SCHEMA cmn_gds_and_srv, hrms_staffpos, cmn_department, adm_role TO mirn_admin;
GRANT INSERT, DELETE, UPDATE (w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod, prize, id_doc,
                              id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use)
    ON accounts_dep.smena TO mirn_admin;
GRANT SELECT, INSERT, DELETE,
    UPDATE (d1, d2, d3, d4, d5, d6, d7, d8, d9, d10, d11, d12, d13, d14, d15, d16, d17, d18, d19,
            d20, d21, d22, d23, d24, d25, d26, d27, d28, d29, d30, d31)
    ON accounts_dep.h_tabel TO mirn_admin;
GRANT INSERT, DELETE, UPDATE (fio, s_staffpos_hl) ON accounts_dep.person TO mirn_admin;
GRANT INSERT, DELETE, UPDATE (vid) ON accounts_dep.vid_oper TO mirn_admin;
GRANT INSERT, DELETE, UPDATE (vid, naimen, i_id) ON accounts_dep.oper TO mirn_admin;
GRANT INSERT, DELETE, UPDATE (o_id, norma, prize, price) ON accounts_dep.norm TO mirn_admin;
GRANT SELECT, INSERT, DELETE, UPDATE (s_caption, s_description, id_msm_bs, massa, id_class_item)
    ON cmn_gds_and_srv.gds_and_srv TO mirn_admin;
GRANT USAGE ON SEQUENCE cmn_gds_and_srv.gds_and_srv_id_seq TO mirn_admin;
GRANT SELECT ON hrms_staffpos.staffpos, cmn_department.department, adm_role.roles TO mirn_admin;
GRANT EXECUTE ON FUNCTION accounts_dep.close_month(integer, integer, text), accounts_dep.reopen_month(integer, integer, text),
    accounts_dep.verify_change_log(),
    accounts_dep.person_create(text, text, text, text), accounts_dep.person_set_group(text, text),
    accounts_dep.person_disable(text), accounts_dep.person_enable(text), accounts_dep.person_set_password(text, text)
    TO mirn_admin;

-- The person functions' owner: the account table and nothing more.
GRANT USAGE ON SCHEMA accounts_dep TO mirn_accounts;
GRANT SELECT, INSERT, UPDATE ON accounts_dep.account TO mirn_accounts;

-- The code sign-in's shared user is an administrator, no more.
DO $$
BEGIN
    IF EXISTS (SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = 'sys') THEN
        GRANT mirn_admin TO sys;
    ELSE
        RAISE WARNING 'there is no role sys: the code sign-in will not connect';
    END IF;
END
$$;

INSERT INTO accounts_dep.schema_version (component, version) VALUES ('roles', 1)
ON CONFLICT (component) DO NOTHING;

------------------------------------------------------------------------------
-- What must hold now
------------------------------------------------------------------------------

DO $$
DECLARE
    o record;
    r text;
BEGIN
    -- Only mirn_owner owns anything here (and mirn_accounts its functions).
    FOR o IN
        SELECT i.type, i.identity, d.refobjid::regrole::text AS owner
          FROM pg_catalog.pg_shdepend d
         CROSS JOIN LATERAL pg_catalog.pg_identify_object(d.classid, d.objid, 0) i
         WHERE d.deptype = 'o'
           AND d.dbid = (SELECT oid FROM pg_catalog.pg_database WHERE datname = current_database())
           AND d.refobjid::regrole::text IN ('sys', 'mirn_viewer', 'mirn_foremen', 'mirn_goods', 'mirn_admin')
    LOOP
        RAISE WARNING '% % is still owned by %', o.type, o.identity, o.owner;
    END LOOP;
    FOREACH r IN ARRAY ARRAY['mirn_owner', 'mirn_accounts', 'mirn_viewer', 'mirn_foremen', 'mirn_goods', 'mirn_admin', 'sys'] LOOP
        CONTINUE WHEN NOT EXISTS (SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = r);
        IF has_parameter_privilege(r, 'session_replication_role', 'SET') THEN
            RAISE EXCEPTION '% may set session_replication_role (which switches every trigger off): revoke it first', r;
        END IF;
        IF r <> 'sys' AND (SELECT rolsuper OR rolcanlogin OR (rolcreaterole AND r <> 'mirn_accounts')
                             FROM pg_catalog.pg_roles WHERE rolname = r) THEN
            RAISE EXCEPTION '% must be NOLOGIN without SUPERUSER and CREATEROLE', r;
        END IF;
    END LOOP;
    IF EXISTS (SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = 'sys' AND (rolsuper OR rolcreaterole)) THEN
        RAISE WARNING 'sys is a superuser or has CREATEROLE: the month lock and the history do not hold against it';
    END IF;
END
$$;

COMMIT;
