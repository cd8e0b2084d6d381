-- Takes db/roles.sql back out: the objects go back to the owners they had (the
-- shared user sys, as a rule), the personal logins, the groups, mirn_owner and
-- mirn_accounts are dropped, and so are the functions, tables and triggers that
-- roles.sql added and the columns it added to period_lock and change_log
-- (period_lock.reason stays where the extension, from its version 2, has it).
-- The closed months and the history stay (db/extension.sql's tables); rows the
-- history got meanwhile for closing and reopening and for accounts stay as data.
-- Run by a superuser; running it again changes nothing:
--   sudo -u postgres psql -v ON_ERROR_STOP=1 -d mirn_erp -f db/roles_drop.sql
-- Roles are shared by the databases of a server: a role still used by another
-- database is kept, with a warning.

\set ON_ERROR_STOP 1

BEGIN;
SET LOCAL client_min_messages = warning;

DO $$
BEGIN
    IF NOT (SELECT rolsuper FROM pg_catalog.pg_roles WHERE rolname = current_user) THEN
        RAISE EXCEPTION 'db/roles_drop.sql must be run by a superuser';
    END IF;
END
$$;

-- The personal logins made by person_create.
DO $$
DECLARE
    l name;
BEGIN
    IF to_regclass('accounts_dep.account') IS NULL THEN
        RETURN;
    END IF;
    FOR l IN SELECT a.login FROM accounts_dep.account a JOIN pg_catalog.pg_roles r ON r.rolname = a.login LOOP
        BEGIN
            EXECUTE format('DROP ROLE %I', l);
        EXCEPTION WHEN dependent_objects_still_exist THEN
            RAISE WARNING 'login % kept: it owns objects or holds rights elsewhere', l;
        END;
    END LOOP;
END
$$;

DROP TRIGGER IF EXISTS truncate_refuse ON accounts_dep.smena;
DROP TRIGGER IF EXISTS truncate_refuse ON accounts_dep.h_tabel;
DROP TRIGGER IF EXISTS truncate_refuse ON accounts_dep.fatigue;
DROP TRIGGER IF EXISTS truncate_refuse ON accounts_dep.oper;
DROP TRIGGER IF EXISTS truncate_refuse ON accounts_dep.norm;
DROP TRIGGER IF EXISTS truncate_refuse ON accounts_dep.period_lock;
DROP TRIGGER IF EXISTS smena_ok_guard ON accounts_dep.smena;
DROP TRIGGER IF EXISTS period_lock_record ON accounts_dep.period_lock;
DROP TRIGGER IF EXISTS change_log_chain ON accounts_dep.change_log;
DROP TRIGGER IF EXISTS change_log_guard ON accounts_dep.change_log;

DROP VIEW IF EXISTS accounts_dep.account_list;
DROP TABLE IF EXISTS accounts_dep.account;
DROP TABLE IF EXISTS accounts_dep.change_log_head;

DROP FUNCTION IF EXISTS accounts_dep.person_create(text, text, text, text);
DROP FUNCTION IF EXISTS accounts_dep.person_set_group(text, text);
DROP FUNCTION IF EXISTS accounts_dep.person_disable(text);
DROP FUNCTION IF EXISTS accounts_dep.person_enable(text);
DROP FUNCTION IF EXISTS accounts_dep.person_set_password(text, text);
DROP FUNCTION IF EXISTS accounts_dep.person_caller();
DROP FUNCTION IF EXISTS accounts_dep.person_group(text);
DROP FUNCTION IF EXISTS accounts_dep.person_login(text);
DROP FUNCTION IF EXISTS accounts_dep.person_password(text);
DROP FUNCTION IF EXISTS accounts_dep.close_month(integer, integer, text);
DROP FUNCTION IF EXISTS accounts_dep.reopen_month(integer, integer, text);
DROP FUNCTION IF EXISTS accounts_dep.verify_change_log();
DROP FUNCTION IF EXISTS accounts_dep.change_log_chain();
DROP FUNCTION IF EXISTS accounts_dep.change_log_guard();
DROP FUNCTION IF EXISTS accounts_dep.truncate_refuse();
DROP FUNCTION IF EXISTS accounts_dep.period_lock_record();
DROP FUNCTION IF EXISTS accounts_dep.smena_ok_guard();
DO $$
BEGIN
    IF to_regclass('accounts_dep.change_log') IS NOT NULL THEN
        DROP FUNCTION IF EXISTS accounts_dep.change_log_hash(bytea, accounts_dep.change_log);
    END IF;
END
$$;
DROP FUNCTION IF EXISTS accounts_dep.change_log_digest(bytea);

DO $$
BEGIN
    IF to_regclass('accounts_dep.period_lock') IS NOT NULL THEN
        -- From version 2 on the extension has the reason column itself.
        IF to_regclass('accounts_dep.schema_version') IS NULL THEN
            ALTER TABLE accounts_dep.period_lock DROP COLUMN IF EXISTS reason;
        ELSIF NOT EXISTS (SELECT 1 FROM accounts_dep.schema_version WHERE component = 'extension' AND version >= 2) THEN
            ALTER TABLE accounts_dep.period_lock DROP COLUMN IF EXISTS reason;
        END IF;
    END IF;
    IF to_regclass('accounts_dep.change_log') IS NOT NULL THEN
        ALTER TABLE accounts_dep.change_log DROP COLUMN IF EXISTS prev_id;
        ALTER TABLE accounts_dep.change_log DROP COLUMN IF EXISTS hash;
        ALTER TABLE accounts_dep.change_log ALTER COLUMN id SET DEFAULT nextval('accounts_dep.change_log_id_seq'::regclass);
    END IF;
    -- The month guards as db/extension.sql made them.
    IF to_regprocedure('accounts_dep.period_lock_guard()') IS NOT NULL THEN
        ALTER FUNCTION accounts_dep.period_lock_guard() RESET search_path;
        ALTER FUNCTION accounts_dep.period_lock_guard_truncate() RESET search_path;
        ALTER FUNCTION accounts_dep.period_lock_serialize() RESET search_path;
        ALTER FUNCTION accounts_dep.period_lock_refuse(integer) RESET search_path;
    END IF;
END
$$;

-- Owners back: each moved object to the owner it had, whatever mirn_owner got
-- since to the owner the department's tables had.
DO $$
DECLARE
    o record;
    fallback name;
    rest record;
BEGIN
    IF to_regclass('accounts_dep.roles_undo') IS NULL THEN
        RETURN;
    END IF;
    SELECT u.owner INTO fallback FROM accounts_dep.roles_undo u
     WHERE u.object_type = 'table' AND u.object_identity = 'accounts_dep.smena';
    FOR o IN
        SELECT u.* FROM accounts_dep.roles_undo u
         WHERE u.owner IS NOT NULL
         ORDER BY CASE u.object_type WHEN 'database' THEN 1 WHEN 'schema' THEN 2 ELSE 3 END
    LOOP
        BEGIN
            EXECUTE format('ALTER %s %s OWNER TO %I', upper(o.object_type), o.object_identity, o.owner);
        EXCEPTION WHEN undefined_table OR undefined_function OR undefined_object OR invalid_schema_name
                       OR invalid_catalog_name THEN
            NULL;  -- gone since
        END;
    END LOOP;
    IF fallback IS NULL THEN
        RETURN;
    END IF;
    FOR rest IN
        SELECT i.type, i.identity
          FROM pg_catalog.pg_shdepend d
         CROSS JOIN LATERAL pg_catalog.pg_identify_object(d.classid, d.objid, 0) i
         WHERE d.deptype = 'o' AND d.refobjid = 'mirn_owner'::regrole
           AND d.dbid = (SELECT oid FROM pg_catalog.pg_database WHERE datname = current_database())
           AND i.type IN ('schema', 'table', 'view', 'materialized view', 'foreign table', 'sequence', 'type',
                          'function', 'procedure', 'aggregate')
           AND NOT (i.type = 'table' AND i.identity = 'accounts_dep.roles_undo')
         ORDER BY CASE i.type WHEN 'schema' THEN 1 WHEN 'sequence' THEN 3 ELSE 2 END
    LOOP
        BEGIN
            EXECUTE format('ALTER %s %s OWNER TO %I', upper(rest.type), rest.identity, fallback);
        EXCEPTION WHEN object_not_in_prerequisite_state OR feature_not_supported THEN
            NULL;  -- a sequence of a table, which went with it
        END;
    END LOOP;
END
$$;

-- pgcrypto, when roles.sql added it and nothing else came to use it.
DO $$
BEGIN
    IF to_regclass('accounts_dep.roles_undo') IS NULL THEN
        RETURN;
    END IF;
    IF EXISTS (SELECT 1 FROM accounts_dep.roles_undo u
                WHERE u.object_type = 'extension' AND u.object_identity = 'pgcrypto' AND u.owner IS NULL) THEN
        BEGIN
            DROP EXTENSION IF EXISTS pgcrypto;
        EXCEPTION WHEN dependent_objects_still_exist THEN
            RAISE WARNING 'pgcrypto kept: something else uses it';
        END;
    END IF;
END
$$;

DROP TABLE IF EXISTS accounts_dep.roles_undo;

DO $$
BEGIN
    IF to_regclass('accounts_dep.schema_version') IS NOT NULL THEN
        DELETE FROM accounts_dep.schema_version WHERE component = 'roles';
    END IF;
END
$$;

-- The roles. Their rights in this database go first; in another database that
-- still has db/roles.sql they stay, and so does the role (with sys in mirn_admin:
-- dropping a role is what takes its members out).
DO $$
DECLARE
    r text;
    here oid := (SELECT oid FROM pg_catalog.pg_database WHERE datname = current_database());
BEGIN
    FOREACH r IN ARRAY ARRAY['mirn_viewer', 'mirn_foremen', 'mirn_goods', 'mirn_admin', 'mirn_accounts', 'mirn_owner'] LOOP
        CONTINUE WHEN NOT EXISTS (SELECT 1 FROM pg_catalog.pg_roles WHERE rolname = r);
        -- DROP OWNED would also drop what the role owns; here it must own nothing.
        IF EXISTS (SELECT 1 FROM pg_catalog.pg_shdepend d
                    WHERE d.refobjid = r::regrole AND d.deptype = 'o'
                      AND (d.dbid = here OR (d.classid = 'pg_catalog.pg_database'::regclass AND d.objid = here))) THEN
            RAISE EXCEPTION '% still owns objects in this database', r;
        END IF;
        EXECUTE format('DROP OWNED BY %I', r);
        BEGIN
            EXECUTE format('DROP ROLE %I', r);
        EXCEPTION WHEN dependent_objects_still_exist THEN
            RAISE WARNING 'role % kept: another database still uses it', r;
        END;
    END LOOP;
END
$$;

COMMIT;
